#include "options.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/store/app_paths.h"
#include "desktop/store/config_list.h"
#include "platform/registry/registry.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace {

struct FlagKey {
    std::string_view name;
    uint8_t Options::*field;
};

// The file's flag keys, in the order they are written.
constexpr std::array<FlagKey, 8> kFlagKeys{{
    {"minimize_to_tray", &Options::minimize_to_tray},
    {"import_inbox", &Options::import_inbox},
    {"import_sent_items", &Options::import_sent_items},
    {"import_deleted_items", &Options::import_deleted_items},
    {"sound_notification", &Options::sound_notification},
    {"popup_message", &Options::popup_message},
    {"minimize_on_open", &Options::minimize_on_open},
    {"sync_on_open", &Options::sync_on_open},
}};

constexpr std::string_view kSoundKey = "sound_filename";
constexpr std::string_view kPopupKey = "popup_message_text";
// The popup text again, where the 8-bit line cannot carry it (a "#" starts a
// comment there; emoji and most scripts have no 8-bit form): its UTF-8 with
// every byte outside plain ASCII, "%", "#" and controls written as %XX.
constexpr std::string_view kPopupWholeKey = "popup_message_text_utf8";

std::u16string cut_text(std::u16string_view text) {
    return std::u16string(text.substr(0, std::min(text.size(), Options::kMaxText)));
}

// The 8-bit form of a text setting; a line break would end the line in the
// file, so it is written as a space.
std::string setting_text(std::u16string_view text) {
    std::string out = to_ansi(cut_text(text));
    for (char& c : out) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    return out;
}

std::string percent_encoded(std::string_view utf8) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x7F || c == '%' || c == '#') {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<std::string> percent_decoded(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const auto digit = [](char h) -> int {
            if (h >= '0' && h <= '9')
                return h - '0';
            if (h >= 'A' && h <= 'F')
                return h - 'A' + 10;
            return -1;
        };
        const int high = digit(text[i + 1]);
        const int low = digit(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out += static_cast<char>(high << 4 | low);
        i += 2;
    }
    return out;
}

// An 8-bit value as the settings file gives it back: up to a "#", without
// the blanks around it.
std::string as_read_back(std::string value) {
    value.resize(std::min(value.size(), value.find('#')));
    const size_t first = value.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return value.substr(first, value.find_last_not_of(" \t") - first + 1);
}

// The popup text as saved: the 8-bit line, and its whole form when that
// line loses something (nullopt when it does not).
std::optional<std::string> whole_popup_text(std::u16string_view text) {
    std::u16string kept = cut_text(text);
    for (char16_t& c : kept) {
        if (c == u'\r' || c == u'\n')
            c = u' ';
    }
    if (kept.find(u'#') == std::u16string::npos && from_ansi(to_ansi(kept)) == kept)
        return std::nullopt;
    return percent_encoded(to_utf8(kept));
}

// The folders the program's own resources come from: a sound there is
// stored relative to them, so that a folder name the settings file cannot
// carry ("#" starts a comment, and the file is 8-bit text) never reaches it.
std::vector<std::u16string> resource_roots() {
    std::vector<std::u16string> roots;
    for (const std::filesystem::path& folder :
         {program_folder(), resource_path(u"templates").parent_path()}) {
        std::u16string root = from_utf8(folder.lexically_normal().string());
        if (root.empty())
            continue;
        if (root.back() != u'/')
            root += u'/';
        roots.push_back(std::move(root));
    }
    return roots;
}

std::u16string stored_sound_path(std::u16string_view path) {
    for (const std::u16string& root : resource_roots()) {
        if (path.size() > root.size() && path.starts_with(root))
            return std::u16string(path.substr(root.size()));
    }
    return std::u16string(path);
}

// A relative path names a resource (see stored_sound_path).
std::u16string loaded_sound_path(std::u16string_view value) {
    if (value.empty() || value.front() == u'/' || value.front() == u'\\')
        return std::u16string(value);
    return from_utf8(resource_path(value).string());
}

}  // namespace

Options::Options() {
    sound_filename = cut_text(from_utf8(resource_path(kDefaultSoundName).string()));
}

std::u16string auto_start_command() {
    return from_utf8((program_folder() / "quillet").string());
}

bool load_options(Options& options) {
    ConfigList list;
    const bool read = list.load_config(kOptionsFileName);
    if (read) {
        for (const FlagKey& key : kFlagKeys) {
            if (list.find(key.name))
                options.*key.field = list.get_int(key.name) != 0 ? 1 : 0;
        }
        if (const auto v = list.find(kSoundKey))
            options.sound_filename = cut_text(loaded_sound_path(from_ansi(*v)));
        if (const auto v = list.find(kPopupKey))
            options.popup_message_text = cut_text(from_ansi(*v));
        // The whole form counts while it still matches the 8-bit line (a
        // program that knows only that line may have changed it since).
        const auto whole = list.find(kPopupWholeKey);
        const std::optional<std::string> decoded = whole ? percent_decoded(*whole) : std::nullopt;
        if (decoded && !decoded->empty() &&
            as_read_back(setting_text(from_utf8(*decoded))) == list.find(kPopupKey).value_or(""))
            options.popup_message_text = cut_text(from_utf8(*decoded));
    }
    // Any value there means on, whatever the length of the path it holds.
    options.start_on_connect =
        registry::query_string(registry::kAutoStartKey, kAutoStartValueName) ? 1 : 0;
    return read;
}

OptionsSaveResult save_options(const Options& options,
                               const std::function<void(ConfigList&)>& more) {
    OptionsSaveResult result;
    // Keys others own (such as "contacts_sort") keep their lines.
    result.file = update_config(kOptionsFileName, [&](ConfigList& list) {
        for (const FlagKey& key : kFlagKeys)
            list.set_bool(key.name, options.*key.field != 0);
        list.set_string(kSoundKey, setting_text(stored_sound_path(options.sound_filename)));
        list.set_string(kPopupKey, setting_text(options.popup_message_text));
        const std::optional<std::string> whole = whole_popup_text(options.popup_message_text);
        if (whole && !list.set_string(kPopupWholeKey, *whole))
            list.set_string(kPopupWholeKey, "");  // too long to carry whole
        else if (!whole && list.find(kPopupWholeKey))
            list.set_string(kPopupWholeKey, "");
        if (more)
            more(list);
    });
    if (options.start_on_connect != 0) {
        result.registry_written = registry::set_string(registry::kAutoStartKey, kAutoStartValueName,
                                                       auto_start_command());
    } else {
        result.registry_written =
            registry::delete_value(registry::kAutoStartKey, kAutoStartValueName);
    }
    return result;
}

}  // namespace quillet

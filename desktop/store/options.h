// The user's settings: "options.cfg" in the data folder, plus the
// start-on-connect value in the registry (value "Quillet" under
// registry::kAutoStartKey, data = the program's full path).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "desktop/store/safe_file.h"

namespace quillet {

class ConfigList;

inline constexpr std::string_view kOptionsFileName = "options.cfg";
inline constexpr std::string_view kAutoStartValueName = "Quillet";
inline constexpr std::u16string_view kDefaultSoundName = u"templates/voice/message4you.wav";
inline constexpr std::u16string_view kDefaultPopupText = u"You have received a new SMS message.";

struct Options {
    // The two texts hold at most this many UTF-16 units; longer ones are cut
    // there when loaded and saved.
    static constexpr size_t kMaxText = 511;

    uint8_t minimize_to_tray = 0;
    uint8_t import_inbox = 1;
    uint8_t import_sent_items = 1;
    uint8_t import_deleted_items = 1;
    uint8_t sound_notification = 1;
    uint8_t popup_message = 1;
    uint8_t start_on_connect = 0;  // set only by load_options, from the registry
    uint8_t minimize_on_open = 0;
    uint8_t sync_on_open = 0;
    std::u16string sound_filename;  // default: the resource kDefaultSoundName
    std::u16string popup_message_text{kDefaultPopupText};

    Options();
};

// Reads "options.cfg" into `options`: present flag keys set their field
// (non-zero number = on, anything else off), absent ones leave it; the two
// texts are taken when present. start_on_connect is on exactly when the
// registry value exists. Returns whether the file was read.
bool load_options(Options& options);

struct OptionsSaveResult {
    Outcome file;                  // "options.cfg"
    bool registry_written = true;  // false: start-on-connect could not be set or removed
    explicit operator bool() const { return file.ok(); }
};

// Merges the settings into "options.cfg" (other keys, such as
// "contacts_sort", keep their lines; missing keys are appended), writes it
// atomically, then sets or removes the start-on-connect value. A sound file
// among the program's resources is stored relative to their folder (and
// read back against it), so the default sound survives a program folder
// whose name the file cannot carry. An "options.cfg" that is there but
// cannot be read is not written (see update_config).
// `more` adds keys of its own (the windows' layout) to the same write.
OptionsSaveResult save_options(const Options& options,
                               const std::function<void(ConfigList&)>& more = {});

// The full path written as the start-on-connect value: the program folder
// followed by "quillet".
std::u16string auto_start_command();

}  // namespace quillet

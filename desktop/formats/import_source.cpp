#include "desktop/formats/import_source.h"

#include <zip.h>

#include <algorithm>
#include <fstream>
#include <memory>

#include "desktop/formats/android_import.h"
#include "desktop/formats/gammu_import.h"
#include "desktop/formats/smsie_import.h"

namespace quillet {
namespace {

constexpr size_t kHeadBytes = 64 * 1024;

std::string head_of(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string head(kHeadBytes, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return head;
}

// UCS-2 with a BOM as its low bytes: enough to see names and brackets.
std::string narrow_utf16(std::string_view head) {
    const bool big_endian = head[0] == '\xFE';
    std::string out;
    for (size_t i = 2; i + 1 < head.size(); i += 2)
        out += big_endian ? (head[i] == '\0' ? head[i + 1] : '?')
                          : (head[i + 1] == '\0' ? head[i] : '?');
    return out;
}

bool starts_with_nocase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    return std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
        return (a >= 'a' && a <= 'z' ? a - 32 : a) == (b >= 'a' && b <= 'z' ? b - 32 : b);
    });
}

// The name of the first element, past the prolog, comments and DOCTYPE.
std::string_view root_element(std::string_view text) {
    size_t i = 0;
    while ((i = text.find('<', i)) != std::string_view::npos) {
        const std::string_view rest = text.substr(i);
        size_t end = std::string_view::npos;
        if (rest.starts_with("<?"))
            end = rest.find("?>");
        else if (rest.starts_with("<!--"))
            end = rest.find("-->");
        else if (rest.starts_with("<!"))
            end = rest.find('>');
        else {
            const size_t name_end = rest.find_first_of(" \t\r\n/>", 1);
            return rest.substr(1, name_end == std::string_view::npos ? 0 : name_end - 1);
        }
        if (end == std::string_view::npos)
            return {};
        i += end + 1;
    }
    return {};
}

bool is_smsie_zip(const std::filesystem::path& path) {
    int error = 0;
    std::unique_ptr<zip_t, decltype(&zip_discard)> archive(
        zip_open(path.c_str(), ZIP_RDONLY, &error), &zip_discard);
    return archive && (zip_name_locate(archive.get(), "messages.ndjson", 0) >= 0 ||
                       zip_name_locate(archive.get(), "messages.json", 0) >= 0);
}

bool is_gammu(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        size_t end = text.find('\n', i);
        end = end == std::string_view::npos ? text.size() : end;
        std::string_view line = text.substr(i, end - i);
        i = end + 1;
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        if (line.empty() || line.front() == ';' || line.front() == '#' || line.front() == '\r')
            continue;
        return starts_with_nocase(line, "[SMSBackup");
    }
    return false;
}

}  // namespace

std::string_view format_name(ImportFormat format) {
    switch (format) {
        case ImportFormat::AndroidXml:
            return "Android backup";
        case ImportFormat::AndroidCalls:
            return "Android call log";
        case ImportFormat::SmsIeZip:
            return "sms-ie";
        case ImportFormat::GammuBackup:
            return "Gammu backup";
        case ImportFormat::QuilletFolder:
            return "Quillet folder";
        case ImportFormat::Vcard:
            return "vCard";
        case ImportFormat::Unknown:
            break;
    }
    return "unknown";
}

ImportFormat detect_format(const std::filesystem::path& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        for (const char* box : {"inbox1.sms", "sent1.sms", "deleted1.sms"}) {
            if (std::filesystem::is_regular_file(path / box, ec))
                return ImportFormat::QuilletFolder;
        }
        return ImportFormat::Unknown;
    }
    std::string text = head_of(path);
    if (text.starts_with("PK\x03\x04") || text.starts_with("PK\x05\x06"))
        return is_smsie_zip(path) ? ImportFormat::SmsIeZip : ImportFormat::Unknown;
    if (text.starts_with("\xFE\xFF") || text.starts_with("\xFF\xFE"))
        text = narrow_utf16(text);
    else if (text.starts_with("\xEF\xBB\xBF"))
        text.erase(0, 3);
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return ImportFormat::Unknown;
    const std::string_view body = std::string_view(text).substr(first);
    if (body.front() == '<') {
        const std::string_view root = root_element(body);
        if (root == "smses" || root == "allsms")
            return ImportFormat::AndroidXml;
        if (root == "calls")
            return ImportFormat::AndroidCalls;
        return ImportFormat::Unknown;
    }
    if (starts_with_nocase(body, "BEGIN:VCARD"))
        return ImportFormat::Vcard;
    if (is_gammu(body))
        return ImportFormat::GammuBackup;
    return ImportFormat::Unknown;
}

ReadReport read_messages(const std::filesystem::path& path, ImportFormat format, ImportSink& sink,
                         AttachmentSink& attachments) {
    std::string why;
    switch (format) {
        case ImportFormat::AndroidXml:
            return read_android_backup(path, sink, attachments);
        case ImportFormat::SmsIeZip:
            return read_smsie_zip(path, sink, attachments);
        case ImportFormat::GammuBackup:
            return read_gammu_backup(path, sink);
        case ImportFormat::AndroidCalls:
            why = "an Android call log: it holds calls, not messages";
            break;
        case ImportFormat::QuilletFolder:
            why = "not handled here";
            break;
        case ImportFormat::Vcard:
            why = "contacts, not messages";
            break;
        case ImportFormat::Unknown:
            why = "not a backup Quillet can read";
            break;
    }
    return {.outcome = Outcome::bad_input(std::move(why))};
}

}  // namespace quillet

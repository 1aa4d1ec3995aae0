#include "desktop/formats/import_source.h"

#include <sys/stat.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "desktop/formats/android_import.h"
#include "desktop/formats/gammu_import.h"
#include "desktop/formats/iphone_import.h"
#include "desktop/formats/mail_import.h"
#include "desktop/formats/pim_import.h"
#include "desktop/formats/smsie_import.h"
#include "desktop/formats/windows_phone_import.h"
#include "desktop/store/box_file.h"

namespace quillet {
namespace {

constexpr size_t kHeadBytes = 64 * 1024;

std::string head_of(const std::filesystem::path& path) {
    Outcome why;
    const UniqueFd fd = open_regular_file(path, why);
    std::string head(kHeadBytes, '\0');
    size_t got = 0;
    while (fd.valid() && got < head.size()) {
        const ssize_t n = ::read(fd.get(), head.data() + got, head.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    head.resize(got);
    return head;
}

// What a file of this mode is, for the user.
std::string_view kind_of(mode_t mode) {
    if (S_ISFIFO(mode))
        return "a named pipe";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    return "a special file";
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
    Outcome why;
    std::unique_ptr<zip_t, decltype(&zip_discard)> archive(open_zip(path, why), &zip_discard);
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

std::optional<Outcome> unusable_path(const std::filesystem::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return Outcome::missing("there is no such file or folder");
        return Outcome::unreadable("it cannot be read: " + std::string(std::strerror(errno)));
    }
    if (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode))
        return std::nullopt;
    return Outcome::bad_input(std::string(kind_of(st.st_mode)) + ", not a file: skipped");
}

UniqueFd open_regular_file(const std::filesystem::path& path, Outcome& why) {
    if (std::optional<Outcome> unusable = unusable_path(path)) {
        why = std::move(*unusable);
        return UniqueFd();
    }
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0) {
        why =
            Outcome::unreadable("the file cannot be opened: " + std::string(std::strerror(errno)));
        return UniqueFd();
    }
    if (!S_ISREG(st.st_mode)) {
        why = Outcome::bad_input(std::string(kind_of(st.st_mode)) + ", not a file: skipped");
        return UniqueFd();
    }
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    return fd;
}

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
        case ImportFormat::QuilletBox:
            return "Quillet box file";
        case ImportFormat::Vcard:
            return "vCard";
        case ImportFormat::IphoneBackup:
            return "iPhone backup";
        case ImportFormat::PimBackup:
            return "PIM Backup";
        case ImportFormat::SmsBackupMail:
            return "SMS Backup+ mail";
        case ImportFormat::WindowsPhone:
            return "Windows Phone backup";
        case ImportFormat::Unknown:
            break;
    }
    return "unknown";
}

ImportFormat detect_format(const std::filesystem::path& path) {
    std::error_code ec;
    if (unusable_path(path))
        return ImportFormat::Unknown;
    if (std::filesystem::is_directory(path, ec)) {
        for (const char* box : {"inbox1.sms", "sent1.sms", "deleted1.sms"}) {
            if (std::filesystem::is_regular_file(path / box, ec))
                return ImportFormat::QuilletFolder;
        }
        if (is_maildir(path))
            return ImportFormat::SmsBackupMail;
        return looks_like_iphone_backup(path) ? ImportFormat::IphoneBackup : ImportFormat::Unknown;
    }
    std::string text = head_of(path);
    if (text.starts_with(kBoxHeader100) || text.starts_with(kBoxHeader110))
        return ImportFormat::QuilletBox;
    if (text.starts_with("PK\x03\x04") || text.starts_with("PK\x05\x06"))
        return is_smsie_zip(path)    ? ImportFormat::SmsIeZip
               : is_pim_backup(path) ? ImportFormat::PimBackup
                                     : ImportFormat::Unknown;
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
        if (root == "ArrayOfMessage")
            return ImportFormat::WindowsPhone;
        return ImportFormat::Unknown;
    }
    if (starts_with_nocase(body, "BEGIN:VCARD"))
        return ImportFormat::Vcard;
    if (is_gammu(body))
        return ImportFormat::GammuBackup;
    if (looks_like_smssync_mail(text))
        return ImportFormat::SmsBackupMail;
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
        case ImportFormat::IphoneBackup: {
            std::vector<ImportedContact> contacts;  // the importer asks for them itself
            return read_iphone_backup(path, sink, attachments, contacts);
        }
        case ImportFormat::PimBackup:
            return read_pim_backup(path, sink);
        case ImportFormat::SmsBackupMail:
            return read_smssync_mail(path, sink, attachments);
        case ImportFormat::WindowsPhone:
            return read_windows_phone_backup(path, sink, attachments);
        case ImportFormat::AndroidCalls:
            why = "an Android call log: it holds calls, not messages";
            break;
        case ImportFormat::QuilletFolder:
        case ImportFormat::QuilletBox:
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

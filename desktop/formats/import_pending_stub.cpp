// Until the readers of other tools' backups are in: Quillet folders only.
#include <system_error>

#include "desktop/formats/import_source.h"
namespace quillet {
std::string_view format_name(ImportFormat f) {
    return f == ImportFormat::QuilletFolder ? "Quillet folder" : "unknown";
}
ImportFormat detect_format(const std::filesystem::path& p) {
    std::error_code ec;
    return std::filesystem::exists(p / "inbox1.sms", ec) ? ImportFormat::QuilletFolder
                                                         : ImportFormat::Unknown;
}
ReadOutcome read_messages(const std::filesystem::path&, ImportFormat, ImportSink&,
                          AttachmentSink&) {
    return {false, "pending", std::nullopt, false};
}
ReadOutcome read_vcards(const std::filesystem::path&, std::vector<ImportedContact>&) {
    return {false, "pending", std::nullopt, false};
}
}  // namespace quillet

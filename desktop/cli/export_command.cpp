#include "export_command.h"

#include <QFile>
#include <QGuiApplication>
#include <QLocale>
#include <fstream>
#include <memory>
#include <optional>
#include <ostream>

#include "desktop/cli/data_reader.h"
#include "desktop/formats/android_backup.h"
#include "desktop/formats/csv_xml_export.h"
#include "desktop/formats/vcard.h"
#include "desktop/library/import_origins.h"
#include "desktop/print/archive.h"
#include "desktop/print/conversation_print.h"
#include "desktop/store/scratch_folder.h"
#include "protocol/text_codec.h"

namespace quillet::cli {
namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kBadUsage = 2;

using Format = ExportFormat;
using ExportArguments = Arguments;

std::filesystem::path local(const std::string& path) {
    return std::filesystem::path(path);
}

// The window's note on characters XML could not carry.
std::string replaced_note(size_t replaced) {
    if (replaced == 0)
        return {};
    return " (" + std::to_string(replaced) + " characters XML cannot carry shown as \xEF\xBF\xBD)";
}

// PDF pages need Qt's fonts and painting; no display is needed.
std::unique_ptr<QGuiApplication> gui_for_pages() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "quillet-cli";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

int write_android(const DataFolder& data, const ExportArguments& a, std::ostream& out,
                  std::ostream& err) {
    const SmsBox none_received(BoxKind::Inbox);
    const SmsBox none_sent(BoxKind::SentItems);
    const std::string& b = a.box_word;
    const bool one = b == "inbox" || b == "sent" || b == "deleted";
    const BoxSet boxes = !one ? BoxSet{data.inbox, data.sent, b == "all" ? &data.deleted : nullptr}
                         : b == "inbox" ? BoxSet{data.inbox, none_sent}
                         : b == "sent"  ? BoxSet{none_received, data.sent}
                                        : BoxSet{none_received, none_sent, &data.deleted};
    const AndroidBackupReport r = export_android_backup(local(a.output), boxes, data.contacts);
    if (!r.outcome) {
        err << "quillet-cli: Unable to export the messages to " << a.output << ": "
            << r.outcome.what() << '\n';
        return kFailed;
    }
    out << r.counts.messages << " messages exported" << replaced_note(r.counts.replaced) << '\n';
    return kDone;
}

int write_box(const DataFolder& data, const ExportArguments& a, std::ostream& out,
              std::ostream& err) {
    const SmsBox& box = a.box_word == "sent"      ? data.sent
                        : a.box_word == "deleted" ? data.deleted
                                                  : data.inbox;
    const Outcome r = *a.format == Format::Csv ? export_csv(local(a.output), box, data.contacts)
                                               : export_xml(local(a.output), box, data.contacts);
    if (!r) {
        err << "quillet-cli: Unable to export the messages to " << a.output << ": " << r.what()
            << '\n';
        return kFailed;
    }
    out << box.count() << " messages exported\n";
    return kDone;
}

int write_pdf(const DataFolder& data, const ExportArguments& a, std::ostream& out,
              std::ostream& err) {
    const auto app = gui_for_pages();
    const std::string number = to_ansi(from_utf8(a.number));
    const Correspondence c = correspondence_with(number, {data.inbox, data.sent, &data.deleted},
                                                 data.contacts.phone_numbers());
    if (c.messages.empty()) {
        err << "quillet-cli: no messages with " << a.number << '\n';
        return kFailed;
    }
    const QString title =
        correspondent_title(data.contacts.find_name_by_number(c.number), c.number);
    const Outcome written = write_conversation_pdf(
        QFile::decodeName(QByteArray::fromStdString(a.output)), {title, &c}, QLocale::system());
    if (!written) {
        err << "quillet-cli: " << written.what() << '\n';
        return kFailed;
    }
    out << "Conversation of " << c.messages.size() << " messages exported\n";
    return kDone;
}

int write_whole_archive(const DataFolder& data, const ExportArguments& a, std::ostream& out,
                        std::ostream& err) {
    const auto app = gui_for_pages();
    const ImportedFiles imported = imported_files(data.folder);
    const ArchiveReport r =
        write_archive(QFile::decodeName(QByteArray::fromStdString(a.output)),
                      {data.inbox, data.sent, &data.deleted}, data.contacts, QLocale::system(), {},
                      {imported.attachments, imported.listing});
    if (!r.outcome) {
        err << "quillet-cli: Unable to write the archive: " << r.outcome.what() << '\n';
        return kFailed;
    }
    out << "Archive written: " << r.messages << " messages, " << r.cards << " contacts, "
        << r.conversations << " conversations, " << r.attachments << " attachments"
        << replaced_note(r.replaced) << '\n';
    return kDone;
}

int write_file(const DataFolder& data, const ExportArguments& a, std::ostream& out,
               std::ostream& err) {
    switch (*a.format) {
        case Format::Android:
            return write_android(data, a, out, err);
        case Format::Vcard: {
            size_t cards = 0;
            if (const Outcome r = export_vcard(local(a.output), data.contacts, &cards); !r) {
                err << "quillet-cli: Unable to export the contacts to " << a.output << ": "
                    << r.what() << '\n';
                return kFailed;
            }
            out << cards << " contacts exported\n";
            return kDone;
        }
        case Format::Csv:
        case Format::Xml:
            return write_box(data, a, out, err);
        case Format::Pdf:
            return write_pdf(data, a, out, err);
        case Format::Archive:
            return write_whole_archive(data, a, out, err);
    }
    return kFailed;
}

// The file's bytes onto `out`; false when either side failed.
bool copy_file_to(const std::string& path, std::ostream& out) {
    std::ifstream in(path, std::ios::binary);
    char piece[64 * 1024];
    while (in.read(piece, sizeof piece) || in.gcount() > 0)
        out.write(piece, in.gcount());
    out.flush();
    return in.eof() && out.good();
}

// "--output -": the export is made as a file in a private scratch folder,
// exactly as any other, then copied to standard output; the outcome goes to
// standard error, so that it never mixes with the exported bytes.
int write_standard_output(const DataFolder& data, ExportArguments a, std::ostream& out,
                          std::ostream& err) {
    if (*a.format == Format::Archive) {
        err << "quillet-cli: an archive is a folder and cannot go to standard output\n";
        return kBadUsage;
    }
    const std::optional<ScratchFolder> scratch = ScratchFolder::make();
    if (!scratch) {
        err << "quillet-cli: no scratch folder for the export\n";
        return kFailed;
    }
    a.output = (scratch->path() / "export").string();
    if (const int written = write_file(data, a, err, err); written != kDone)
        return written;
    if (!copy_file_to(a.output, out)) {
        err << "quillet-cli: Unable to write the export to standard output\n";
        return kFailed;
    }
    return kDone;
}

}  // namespace

int run_export(const Arguments& args, const std::filesystem::path& folder, std::ostream& out,
               std::ostream& err) {
    std::string error;
    const Arguments* a = &args;
    const std::optional<DataFolder> data = read_data_folder(folder, error);
    if (!data) {
        err << "quillet-cli: " << error << '\n';
        return kFailed;
    }
    for (const std::string& warning : data->warnings)
        err << "quillet-cli: " << warning << '\n';
    if (a->output == "-")
        return write_standard_output(*data, *a, out, err);
    return write_file(*data, *a, out, err);
}

}  // namespace quillet::cli

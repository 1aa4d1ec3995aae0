#include "archive.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <optional>

#include "desktop/formats/android_backup.h"
#include "desktop/formats/csv_xml_export.h"
#include "desktop/formats/vcard.h"
#include "desktop/print/conversation_print.h"
#include "desktop/store/scratch_folder.h"

namespace quillet {
namespace {

// In the desktop's language; the file names in it stay as they are.
constexpr const char* kReadme = QT_TRANSLATE_NOOP(
    "quillet::Archive",
    "This folder is an archive of the text messages and contacts kept by Quillet.\n"
    "\n"
    "sms-backup.xml   Inbox and Sent Items as an Android SMS backup (XML), the\n"
    "                 format Android backup-and-restore apps read back into a\n"
    "                 phone's messages. Deleted Items are not in it.\n"
    "contacts.vcf     The contact list as vCard 3.0 cards, for address books.\n"
    "inbox.csv        Each box as Quillet's CSV export: name, number, date and\n"
    "sent.csv         time, and the text in double quotes. UTF-8 text with\n"
    "deleted.csv      CR LF line ends.\n"
    "conversations/   One PDF per correspondent: every message exchanged, oldest\n"
    "                 first, received on the left and sent on the right.\n");

constexpr const char* kReadmeImports = QT_TRANSLATE_NOOP(
    "quillet::Archive",
    "attachments/     Pictures, sounds and other files of imported messages (%n),\n"
    "                 a folder per import, named by its number in imports.txt. A\n"
    "                 message names its file on a line such as \"[picture: NAME]\".\n"
    "imports.txt      The imports the messages came from, one line each: number,\n"
    "                 time (UTC), file, kind, messages added, already kept,\n"
    "                 possible duplicates, attachments, and \"undone\" where it was.\n");

std::filesystem::path local(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

// A failure of print's own, in the desktop's language.
Outcome unwritable(const char* text, const QString& arg = {}) {
    QString line = QCoreApplication::translate("quillet::Archive", text);
    if (!arg.isNull())
        line = line.arg(arg);
    return Outcome::unwritable(line.toStdString());
}

// The imports' files and listing, copied in.
Outcome carry_imports(const QDir& dir, const ArchiveImports& imports, ArchiveReport& result) {
    for (const auto& [where, from] : imports.attachments) {
        const std::filesystem::path to = local(dir.filePath(QString::fromStdString(where)));
        std::error_code ec;
        std::filesystem::create_directories(to.parent_path(), ec);
        if (!std::filesystem::copy_file(from, to, ec))
            return unwritable(QT_TRANSLATE_NOOP("quillet::Archive", "%1 could not be copied"),
                              QFile::decodeName(from.c_str()))
                .about(where);
        ++result.attachments;
    }
    return save_file_atomically(local(dir.filePath(QStringLiteral("imports.txt"))), imports.listing)
        .about("imports.txt");
}

// Writes every file into `dir`; the first failure.
Outcome fill(const QDir& dir, const BoxSet& boxes, const ContactList& contacts,
             const QLocale& locale, const ArchiveProgress& progress, const ArchiveImports& imports,
             ArchiveReport& result) {
    const AndroidBackupReport android = export_android_backup(
        local(dir.filePath(QStringLiteral("sms-backup.xml"))), {boxes.inbox, boxes.sent}, contacts);
    if (!android.outcome)
        return android.outcome.about("sms-backup.xml");
    result.messages = android.counts.messages;
    result.replaced = android.counts.replaced;

    if (const Outcome r = export_vcard(local(dir.filePath(QStringLiteral("contacts.vcf"))),
                                       contacts, &result.cards);
        !r)
        return r.about("contacts.vcf");

    const std::pair<const SmsBox*, QString> csvs[] = {
        {&boxes.inbox, QStringLiteral("inbox.csv")},
        {&boxes.sent, QStringLiteral("sent.csv")},
        {boxes.deleted, QStringLiteral("deleted.csv")}};
    for (const auto& [box, name] : csvs) {
        if (const Outcome r = export_csv(local(dir.filePath(name)), *box, contacts); !r)
            return r.about(name.toStdString());
    }

    if (!dir.mkdir(QStringLiteral("conversations")))
        return unwritable(
            QT_TRANSLATE_NOOP("quillet::Archive", "conversations: the folder could not be made"));
    const QDir pdfs(dir.filePath(QStringLiteral("conversations")));
    const std::vector<Correspondence> all = all_correspondences(boxes, contacts.phone_numbers());
    QSet<QString> taken;
    for (size_t i = 0; i < all.size(); ++i) {
        if (progress)
            progress(i, all.size());
        const Correspondence& c = all[i];
        const QString title = correspondent_title(contacts.find_name_by_number(c.number), c.number);
        QString name = conversation_file_name(title);
        for (int n = 2; taken.contains(name.toLower()); ++n)
            name = conversation_file_name(title + QStringLiteral(" (%1)").arg(n));
        taken.insert(name.toLower());
        if (Outcome written = write_conversation_pdf(pdfs.filePath(name), {title, &c}, locale);
            !written)
            return written;
    }
    result.conversations = all.size();

    QString readme = QCoreApplication::translate("quillet::Archive", kReadme);
    if (!imports.listing.empty()) {
        if (const Outcome carried = carry_imports(dir, imports, result); !carried)
            return carried;
        readme += QCoreApplication::translate("quillet::Archive", kReadmeImports, nullptr,
                                              static_cast<int>(result.attachments));
    }
    const QByteArray text = readme.toUtf8();
    return save_file_atomically(
               local(dir.filePath(QStringLiteral("README.txt"))),
               std::string_view(text.constData(), static_cast<size_t>(text.size())))
        .about("README.txt");
}

// Gives the finished folder its name (never over anything there by now) and
// the mode the umask allows, as a folder the user makes.
bool move_into_place(ScratchFolder& partial, const std::filesystem::path& to) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(partial.fd(), 0777 & ~mask);
    if (::renameat2(AT_FDCWD, partial.path().c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0)
        return false;
    partial.keep();
    return true;
}

}  // namespace

QString conversation_file_name(const QString& title) {
    QString name = title;
    for (QChar& c : name) {
        if (c.unicode() < 0x20 || QStringLiteral("/\\:*?\"<>|").contains(c))
            c = QLatin1Char('_');
    }
    name = name.trimmed();
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        name.prepend(QLatin1Char('_'));
    return name.left(120) + QStringLiteral(".pdf");
}

ArchiveReport write_archive(const QString& folder, const BoxSet& boxes, const ContactList& contacts,
                            const QLocale& locale, const ArchiveProgress& progress,
                            const ArchiveImports& imports) {
    ArchiveReport result;
    const QFileInfo target(folder);
    if (target.exists()) {
        result.outcome = Outcome::refused(
            QCoreApplication::translate("quillet::Archive",
                                        "%1 exists already; the archive goes into a new folder.")
                .arg(folder)
                .toStdString());
        return result;
    }
    if (!boxes.deleted) {
        result.outcome = Outcome::bad_input(
            QCoreApplication::translate("quillet::Archive", "The archive needs all three boxes.")
                .toStdString());
        return result;
    }
    // Filled beside its final place, so the rename cannot cross file
    // systems, in a folder made by mkdtemp: nobody can have planted its name,
    // and on failure only what this run made is removed.
    std::optional<ScratchFolder> partial =
        ScratchFolder::make(local(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                                  QStringLiteral(".partial-")));
    if (!partial) {
        result.outcome = unwritable(
            QT_TRANSLATE_NOOP("quillet::Archive", "Could not make a folder beside %1"), folder);
        return result;
    }
    result.outcome = fill(QDir(QFile::decodeName(partial->path().c_str())), boxes, contacts, locale,
                          progress, imports, result);
    if (result.outcome && !move_into_place(*partial, local(target.absoluteFilePath())))
        result.outcome = unwritable(
            QT_TRANSLATE_NOOP("quillet::Archive", "Could not move the archive into place as %1"),
            folder);
    return result;
}

}  // namespace quillet

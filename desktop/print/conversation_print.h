// A conversation on paper: its page as HTML, laid out on the pages of a PDF
// file or a printer, with the correspondent and the period in each page's
// header and "Page n of N" in its footer.
#pragma once

#include <QByteArray>
#include <QLocale>
#include <QPageSize>
#include <QString>

#include "desktop/store/correspondence.h"
#include "desktop/store/outcome.h"

class QPagedPaintDevice;
class QPrinter;
class QTextDocument;

namespace quillet {

// What a printed conversation shows besides its messages.
struct PrintedConversation {
    QString correspondent;  // "Nora Weiss (+4915112345678)", or the number alone
    const Correspondence* messages = nullptr;
};

// Letter where the locale measures in US units, A4 elsewhere.
QPageSize::PageSizeId paper_size_for(const QLocale& locale);

// "Nora Weiss (+4915112345678)", or the number when no contact has it
// ("Unknown sender" for none).
QString correspondent_title(std::u16string_view name, std::string_view number);

// The first and the last message's day, "14/03/2026 – 20/03/2026" in the
// locale's short format; one day alone when they are equal, "" when empty.
QString conversation_period(const Correspondence& c, const QLocale& locale);

// The page body, in `document` (empty, its default font set): a line for
// each new day, received messages on the left and sent ones on the right of
// a body `width` wide, each under its time, Deleted Items marked so. Texts
// are taken as plain text, their line breaks kept.
void fill_conversation(QTextDocument& document, const Correspondence& c, const QLocale& locale,
                       qreal width);

// Lays the conversation out on `device` (a QPdfWriter or a QPrinter, its page
// size already chosen) and paints every page. Returns the number of pages,
// 0 when the device could not be painted on.
int paint_conversation(QPagedPaintDevice& device, const PrintedConversation& conversation,
                       const QLocale& locale);

// The conversation as the bytes of a PDF file; empty when the pages could
// not be laid out.
QByteArray conversation_pdf(const PrintedConversation& conversation, const QLocale& locale);

// Writes the conversation as a PDF file atomically, on the paper of
// `locale`. Unwritable, in the desktop's language, when the pages could not
// be laid out; else as save_file_atomically says.
Outcome write_conversation_pdf(const QString& path, const PrintedConversation& conversation,
                               const QLocale& locale);

}  // namespace quillet

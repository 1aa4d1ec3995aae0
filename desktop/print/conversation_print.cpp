#include "conversation_print.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QColor>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include "desktop/store/safe_file.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace {

constexpr int kPdfResolution = 300;
constexpr qreal kMarginMm = 15;
constexpr qreal kFontPoints = 10;

QDateTime local_time(FileTime t) {
    return QDateTime::fromSecsSinceEpoch(unix_seconds(t));
}

// Line breaks of a text as breaks inside its one paragraph.
QString paragraph_text(std::u16string_view text) {
    QString out = QString::fromStdU16String(std::u16string(text));
    out.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
    out.replace(QLatin1Char('\n'), QChar::LineSeparator);
    out.replace(QLatin1Char('\r'), QChar::LineSeparator);
    return out;
}

QTextBlockFormat day_format() {
    QTextBlockFormat f;
    f.setAlignment(Qt::AlignHCenter);
    f.setTopMargin(12);
    f.setBottomMargin(4);
    return f;
}

// Received on the left, sent on the right; each leaves a third of the
// width free on the other side. A Hebrew or Arabic text runs from the right
// within its place.
QTextBlockFormat message_format(bool sent, qreal width, Qt::LayoutDirection direction) {
    QTextBlockFormat f;
    f.setAlignment(sent ? Qt::AlignRight : Qt::AlignLeft);
    if (direction == Qt::RightToLeft) {
        f.setLayoutDirection(direction);
        f.setAlignment(Qt::AlignRight | Qt::AlignAbsolute);
    }
    if (sent) {
        f.setLeftMargin(width / 3);
    } else {
        f.setRightMargin(width / 3);
    }
    f.setTopMargin(3);
    f.setBottomMargin(3);
    f.setBackground(sent ? QColor(0xdc, 0xeb, 0xfa) : QColor(0xee, 0xee, 0xee));
    return f;
}

// Inserts `text`; emoji and symbols the text font lacks are set in a font
// that has them (outlines, which a PDF embeds). Each run is text of its own
// font, so the lines are laid out, and the pages cut, at their true height.
void insert_with_symbols(QTextCursor& cursor, const QString& text, const QTextCharFormat& body) {
    const QFontMetricsF metrics(body.font());
    QTextCharFormat symbols = body;
    symbols.setFontFamilies({QStringLiteral("Symbola")});
    QString run;
    bool run_symbols = false;
    for (const char32_t c : text.toUcs4()) {
        const bool symbol = c > U' ' && !metrics.inFontUcs4(c);
        if (symbol != run_symbols && !run.isEmpty()) {
            cursor.insertText(run, run_symbols ? symbols : body);
            run.clear();
        }
        run_symbols = symbol;
        run += QString::fromUcs4(&c, 1);
    }
    cursor.insertText(run, run_symbols ? symbols : body);
}

void add_message(QTextCursor& cursor, const ExchangedMessage& e, const QLocale& locale, qreal width,
                 const QFont& font) {
    const QString text = paragraph_text(e.message->text_view());
    cursor.insertBlock(
        message_format(e.sent, width, text.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight));
    QTextCharFormat small;
    small.setFont(font);
    small.setFontPointSize(font.pointSizeF() * 0.8);
    small.setForeground(QColor(0x55, 0x55, 0x55));
    QString heading =
        locale.toString(local_time(e.message->time()).time(), QStringLiteral("HH:mm"));
    if (e.deleted)
        heading += QStringLiteral(" \u00b7 ") +
                   QCoreApplication::translate("quillet::ConversationPrint", "deleted on device");
    cursor.insertText(heading + QChar::LineSeparator, small);
    QTextCharFormat body;
    body.setFont(font);
    insert_with_symbols(cursor, text, body);
}

}  // namespace

void fill_conversation(QTextDocument& document, const Correspondence& c, const QLocale& locale,
                       qreal width) {
    const QFont font = document.defaultFont();
    QTextCursor cursor(&document);
    QTextCharFormat day_text;
    day_text.setFont(font);
    day_text.setFontWeight(QFont::Bold);
    day_text.setForeground(QColor(0x55, 0x55, 0x55));
    if (c.messages.empty())
        cursor.insertText(
            QCoreApplication::translate("quillet::ConversationPrint", "No messages."));
    QDate day;
    bool first = true;
    for (const ExchangedMessage& e : c.messages) {
        const QDate date = local_time(e.message->time()).date();
        if (date != day) {
            day = date;
            if (first) {
                cursor.setBlockFormat(day_format());
            } else {
                cursor.insertBlock(day_format());
            }
            cursor.insertText(locale.toString(date, QLocale::LongFormat), day_text);
        }
        first = false;
        add_message(cursor, e, locale, width, font);
    }
}

QPageSize::PageSizeId paper_size_for(const QLocale& locale) {
    return locale.measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter
                                                                   : QPageSize::A4;
}

QString correspondent_title(std::u16string_view name, std::string_view number) {
    const QString shown_number = QString::fromStdString(to_utf8(from_ansi(number)));
    const QString shown_name = QString::fromStdU16String(std::u16string(name));
    if (shown_name.isEmpty() || shown_name == shown_number)
        return shown_number.isEmpty()
                   ? QCoreApplication::translate("quillet::ConversationPrint", "Unknown sender")
                   : shown_number;
    return shown_name + QStringLiteral(" (") + shown_number + QLatin1Char(')');
}

QString conversation_period(const Correspondence& c, const QLocale& locale) {
    if (c.messages.empty())
        return {};
    const QDate first = local_time(c.messages.front().message->time()).date();
    const QDate last = local_time(c.messages.back().message->time()).date();
    const QString from = locale.toString(first, QLocale::ShortFormat);
    if (first == last)
        return from;
    return from + QStringLiteral(" \u2013 ") + locale.toString(last, QLocale::ShortFormat);
}

int paint_conversation(QPagedPaintDevice& device, const PrintedConversation& conversation,
                       const QLocale& locale) {
    static const Correspondence kNone;
    const Correspondence& c = conversation.messages ? *conversation.messages : kNone;
    QPainter painter;
    if (!painter.begin(&device))
        return 0;
    QFont font = painter.font();
    font.setPointSizeF(kFontPoints);
    const QFontMetricsF metrics(font, &device);
    const qreal band = 2 * metrics.height();
    const QSizeF page(device.width(), device.height());
    const QRectF body(0, band, page.width(), page.height() - 2 * band);

    QTextDocument document;
    document.documentLayout()->setPaintDevice(&device);
    document.setDefaultFont(font);
    document.setPageSize(body.size());
    fill_conversation(document, c, locale, body.width());

    const QString period = conversation_period(c, locale);
    const int pages = document.pageCount();
    for (int i = 0; i < pages; ++i) {
        if (i > 0 && !device.newPage())
            return 0;
        painter.setFont(font);
        painter.setPen(Qt::black);
        const QRectF header(0, 0, page.width(), metrics.height());
        painter.drawText(header, Qt::AlignLeft | Qt::AlignVCenter, conversation.correspondent);
        painter.drawText(header, Qt::AlignRight | Qt::AlignVCenter, period);
        painter.drawLine(QPointF(0, metrics.height() * 1.3),
                         QPointF(page.width(), metrics.height() * 1.3));
        painter.drawText(
            QRectF(0, page.height() - metrics.height(), page.width(), metrics.height()),
            Qt::AlignHCenter | Qt::AlignVCenter,
            QCoreApplication::translate("quillet::ConversationPrint", "Page %1 of %2")
                .arg(i + 1)
                .arg(pages));
        painter.save();
        const QRectF slice(0, i * body.height(), body.width(), body.height());
        painter.translate(body.left(), body.top() - slice.top());
        painter.setClipRect(slice);
        document.drawContents(&painter, slice);
        painter.restore();
    }
    return pages;
}

QByteArray conversation_pdf(const PrintedConversation& conversation, const QLocale& locale) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(kPdfResolution);
        writer.setPageSize(QPageSize(paper_size_for(locale)));
        writer.setPageMargins(QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                              QPageLayout::Millimeter);
        writer.setTitle(conversation.correspondent);
        writer.setCreator(QStringLiteral("Quillet"));
        if (paint_conversation(writer, conversation, locale) == 0)
            return {};
    }
    return buffer.data();
}

Outcome write_conversation_pdf(const QString& path, const PrintedConversation& conversation,
                               const QLocale& locale) {
    const QByteArray bytes = conversation_pdf(conversation, locale);
    if (bytes.isEmpty())
        return Outcome::unwritable(QCoreApplication::translate("quillet::ConversationPrint",
                                                               "Could not lay out the pages of %1")
                                       .arg(path)
                                       .toStdString());
    return save_file_atomically(
        std::filesystem::path(QFile::encodeName(path).toStdString()),
        std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

}  // namespace quillet

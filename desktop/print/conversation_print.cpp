#include "conversation_print.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
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

QString escaped_text(std::u16string_view text) {
    QString html = QString::fromStdU16String(std::u16string(text)).toHtmlEscaped();
    html.replace(QStringLiteral("\r\n"), QStringLiteral("<br>"));
    html.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
    html.replace(QLatin1Char('\r'), QStringLiteral("<br>"));
    return html;
}

QString message_html(const ExchangedMessage& e, const QLocale& locale) {
    const QString time =
        locale.toString(local_time(e.message->time()).time(), QLocale::ShortFormat);
    const QString note = e.deleted ? QStringLiteral(" &middot; deleted on device") : QString();
    const QString style = e.sent ? QStringLiteral("margin-left:30%; background-color:#dcebfa;")
                                 : QStringLiteral("margin-right:30%; background-color:#eeeeee;");
    return QStringLiteral(
               "<p align=\"%1\" style=\"%2 margin-top:6px; margin-bottom:6px;\">"
               "<span style=\"color:#555555; font-size:small;\">%3%4</span><br>%5</p>\n")
        .arg(e.sent ? QStringLiteral("right") : QStringLiteral("left"), style, time, note,
             escaped_text(e.message->text_view()));
}

}  // namespace

QPageSize::PageSizeId paper_size_for(const QLocale& locale) {
    return locale.measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter
                                                                   : QPageSize::A4;
}

QString correspondent_title(std::u16string_view name, std::string_view number) {
    const QString shown_number = QString::fromStdString(to_utf8(from_ansi(number)));
    const QString shown_name = QString::fromStdU16String(std::u16string(name));
    if (shown_name.isEmpty() || shown_name == shown_number)
        return shown_number.isEmpty() ? QStringLiteral("Unknown sender") : shown_number;
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

QString conversation_html(const Correspondence& c, const QLocale& locale) {
    QString html = QStringLiteral("<html><body>\n");
    if (c.messages.empty())
        html += QStringLiteral("<p>No messages.</p>\n");
    QDate day;
    for (const ExchangedMessage& e : c.messages) {
        const QDate date = local_time(e.message->time()).date();
        if (date != day) {
            day = date;
            html += QStringLiteral(
                        "<p align=\"center\" style=\"margin-top:12px; color:#555555;\">"
                        "<b>%1</b></p>\n")
                        .arg(locale.toString(date, QLocale::LongFormat).toHtmlEscaped());
        }
        html += message_html(e, locale);
    }
    html += QStringLiteral("</body></html>\n");
    return html;
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
    document.setHtml(conversation_html(c, locale));
    document.setPageSize(body.size());

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
            QStringLiteral("Page %1 of %2").arg(i + 1).arg(pages));
        painter.save();
        const QRectF slice(0, i * body.height(), body.width(), body.height());
        painter.translate(body.left(), body.top() - slice.top());
        painter.setClipRect(slice);
        document.drawContents(&painter, slice);
        painter.restore();
    }
    return pages;
}

QString write_conversation_pdf(const QString& path, const PrintedConversation& conversation,
                               const QLocale& locale) {
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
            return QStringLiteral("Could not lay out the pages of %1").arg(path);
    }
    const QByteArray& bytes = buffer.data();
    const SaveResult saved = save_file_atomically(
        std::filesystem::path(QFile::encodeName(path).toStdString()),
        std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    return saved ? QString() : QString::fromStdString(saved.error);
}

}  // namespace quillet

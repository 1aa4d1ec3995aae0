#include "desktop/views/html_form_view.h"

#include <QEvent>
#include <QFile>
#include <QLocale>
#include <QScrollBar>
#include <QStringDecoder>
#include <QVBoxLayout>
#include <system_error>

#include "desktop/store/app_paths.h"
#include "desktop/store/safe_file.h"
#include "desktop/store/shown_time.h"
#include "desktop/views/engine_texts.h"
#include "desktop/views/gui_seams.h"
#include "desktop/views/message_page.h"
#include "desktop/views/page_palette.h"
#include "desktop/views/window_parts.h"
#include "protocol/text_codec.h"

namespace quillet {

namespace fs = std::filesystem;
namespace {

QUrl file_url(const fs::path& path) {
    return QUrl::fromLocalFile(QString::fromStdString(path.string()));
}

fs::path program_templates() {
    return resource_path(u"templates");
}

bool write_page(const fs::path& path, std::u16string_view page) {
    std::error_code ec;
    make_folders(path.parent_path(), ec);
    // Never written through a link or into a FIFO planted in its place.
    return write_scratch_file(path, page_file_bytes(page));
}

}  // namespace

TemplateBrowser::TemplateBrowser(QWidget* parent) : QTextBrowser(parent) {
    setObjectName(QStringLiteral("messageBrowser"));
    setOpenLinks(false);
    // A text without spaces still wraps, instead of one line the view
    // takes seconds to lay out.
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setSearchPaths({QString::fromStdString(program_templates().string())});
}

QVariant TemplateBrowser::loadResource(int type, const QUrl& name) {
    const QVariant found = find_resource(type, name);
    if (found.typeId() != QMetaType::QByteArray)
        return found;
    const QByteArray bytes = found.toByteArray();
    // Pages and style sheets name their colours by tokens (page_palette.h).
    if (type == QTextDocument::HtmlResource) {
        auto decode = QStringDecoder::decoderForHtml(bytes);
        return with_palette_colours(with_template_words(decode(bytes)), palette());
    }
    if (type == QTextDocument::StyleSheetResource)
        return with_palette_colours(QString::fromUtf8(bytes), palette());
    return found;
}

QVariant TemplateBrowser::find_resource(int type, const QUrl& name) {
    if (type == QTextDocument::HtmlResource)
        return QTextBrowser::loadResource(type, name);
    // A picture or style sheet beside the page: the page lives in the data
    // folder, its resources in the program folder.
    const QString local = name.isLocalFile() ? name.toLocalFile() : name.path();
    if (!local.isEmpty() && QFile::exists(local))
        return QTextBrowser::loadResource(type, name);
    const fs::path page_folder = HtmlFormView::page_path().parent_path();
    fs::path wanted(local.toStdString());
    if (wanted.is_absolute())
        wanted = wanted.lexically_relative(page_folder);
    if (wanted.empty() || *wanted.begin() == "..")
        return QTextBrowser::loadResource(type, name);
    QFile file(QString::fromStdString((program_templates() / wanted).string()));
    if (!file.open(QIODevice::ReadOnly))
        return QTextBrowser::loadResource(type, name);
    return file.readAll();
}

HtmlFormView::HtmlFormView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("messageView"));
    browser_ = new TemplateBrowser(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    connect(browser_, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
        if (url.toString() == to_qstring(kEarlierLink))
            Q_EMIT earlierRequested();
        else if (url.isLocalFile())
            open_file(url.toLocalFile());
    });
}

fs::path HtmlFormView::page_path() {
    return app_file_path(kPageFile);
}

void HtmlFormView::show_message(const SmsMessage* message, std::u16string_view template_name) {
    if (message == nullptr) {
        show_idle();
        return;
    }
    render_template(template_name, *message);
}

bool HtmlFormView::render_template(std::u16string_view template_name, const SmsMessage& message) {
    std::string template_bytes;
    if (!read_whole_file(resource_path(template_name), template_bytes)) {
        show_idle();
        return false;
    }
    PageFields fields;
    fields.message = page_message_text(message.text_view());
    fields.phone = from_ansi(message.number());
    fields.sender =
        contacts_ != nullptr ? contacts_->find_name_by_number(message.number()) : fields.phone;
    fields.date = shown_date_time(message.time());
    fields.origin = origin_markup(message);
    fields.hits = search_hits(fields.message, highlight_);
    return show_page(render_page(template_bytes, fields));
}

std::u16string HtmlFormView::origin_markup(const SmsMessage& message) {
    const std::optional<MessageOrigin> origin =
        origins_ != nullptr ? origins_->origin_of(message) : std::nullopt;
    if (!origin)
        return {};
    const QString file = QString::fromStdString(fs::path(origin->file).filename().string());
    QString markup =
        QStringLiteral("<p style=\"font-size: 8pt; color: %muted%\">") +
        tr("Imported from %1 (%2) on %3.")
            .arg(file.toHtmlEscaped(), QString::fromStdString(origin->format).toHtmlEscaped(),
                 to_qstring(shown_date_time(filetime_from_unix(origin->time))));
    const auto attachments = named_attachments(message.text_view(), origin->attachments);
    if (!attachments.empty()) {
        QStringList links;
        for (const auto& [name, path] : attachments) {
            links << QStringLiteral("<a href=\"%1\">%2</a>")
                         .arg(file_url(path).toString(QUrl::FullyEncoded).toHtmlEscaped(),
                              to_qstring(name).toHtmlEscaped());
        }
        markup +=
            QStringLiteral("<br>") + tr("Attachments: %1").arg(links.join(QStringLiteral(", ")));
    }
    return (markup + QStringLiteral("</p>")).toStdU16String();
}

bool HtmlFormView::show_conversation(const ConversationPageFields& fields, const QString& anchor) {
    std::string template_bytes;
    if (!read_whole_file(resource_path(kConversationTemplate), template_bytes)) {
        show_idle();
        return false;
    }
    const bool written = show_page(render_conversation_page(template_bytes, fields, QLocale()));
    if (anchor.isEmpty()) {
        // The newest message is at the end; the cursor there makes the view
        // lay the page out that far.
        browser_->moveCursor(QTextCursor::End);
        browser_->verticalScrollBar()->setValue(browser_->verticalScrollBar()->maximum());
    } else {
        browser_->scrollToAnchor(anchor);
    }
    return written;
}

bool HtmlFormView::show_page(const std::u16string& page) {
    idle_ = false;
    const fs::path path = page_path();
    if (!write_page(path, page)) {
        // The data folder refused the page: show the message all the same
        // rather than whatever the old page said.
        browser_->setHtml(with_palette_colours(with_template_words(to_qstring(page)), palette()));
        return false;
    }
    show_file(path);
    return true;
}

void TemplateBrowser::changeEvent(QEvent* event) {
    QTextBrowser::changeEvent(event);
    // The page's colours are the palette's: load it anew in the new ones.
    if (event->type() == QEvent::PaletteChange && !source().isEmpty())
        reload();
}

void HtmlFormView::show_idle() {
    idle_ = true;
    show_file(resource_path(kIdleTemplate));
}

void HtmlFormView::show_file(const fs::path& file) {
    // The same page file is rewritten for every message, and the browser
    // ignores a source it already shows: that one is reloaded.
    const QUrl url = file_url(file);
    if (browser_->source() == url) {
        browser_->reload();
    } else {
        browser_->setSource(url);
    }
    browser_->clearHistory();
}

}  // namespace quillet

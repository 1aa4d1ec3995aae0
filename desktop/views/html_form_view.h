// The message view of the main window (objectName "messageView"): the
// selected message as a page, shown in a QTextBrowser ("messageBrowser"),
// which runs no scripts.
//
// For a message it fills the box's template (message_page.h) and writes the
// page to "templates\tmp.html" in the data folder (UTF-16LE with a
// byte-order mark), then shows that file. Colour tokens in a page and its
// style sheets (page_palette.h) become the palette's colours as they load, and a change of
// the palette loads the page anew. Pictures and style sheets that the
// page names relative to itself come from the program's "templates" folder,
// so a program installed read-only shows them all the same. Without a
// message it shows "templates\idle_template.html" as it is.
//
// A conversation is shown the same way through its own template
// (conversation_page.h), scrolled to its newest message. While a search is
// typed, what it found is marked in every page.
#pragma once

#include <QTextBrowser>
#include <QWidget>
#include <filesystem>
#include <string>

#include "desktop/library/import_origins.h"
#include "desktop/store/contact_list.h"
#include "desktop/views/conversation_page.h"
#include "desktop/views/message_display.h"

namespace quillet {

// A text browser whose relative pictures and style sheets come from the
// program's "templates" folder.
class TemplateBrowser : public QTextBrowser {
    Q_OBJECT

  public:
    explicit TemplateBrowser(QWidget* parent = nullptr);
    QVariant loadResource(int type, const QUrl& name) override;

  protected:
    void changeEvent(QEvent* event) override;

  private:
    // The resource's bytes as found, before any colour is filled in.
    QVariant find_resource(int type, const QUrl& name);
};

class HtmlFormView : public QWidget, public MessageDisplay {
    Q_OBJECT

  public:
    explicit HtmlFormView(QWidget* parent = nullptr);

    // Names for the "sender" placeholder; null gives the number. Not owned.
    void set_contacts(const ContactList* contacts) { contacts_ = contacts; }
    // Where imported messages came from, for the "origin" placeholder: the
    // import's file, format and date, and links that open the attachment
    // files the text names. Null leaves it empty. Not owned.
    void set_origins(ImportOrigins* origins) { origins_ = origins; }

    void show_message(const SmsMessage* message, std::u16string_view template_name) override;
    // Fills `template_name` with `message`, writes the page file and shows
    // it. A template that cannot be read shows the idle page; a page file
    // that cannot be written is shown from memory. False in both cases.
    bool render_template(std::u16string_view template_name, const SmsMessage& message);
    // Fills the conversation template and shows the page scrolled to its
    // end, or, with `anchor`, to that anchor ("m<n>"). False as
    // render_template.
    bool show_conversation(const ConversationPageFields& fields, const QString& anchor = {});

    // What to mark in the pages from now on (folded, fold_for_search); ""
    // marks nothing. The page shown is not redrawn.
    void set_highlight(std::string folded_query) { highlight_ = std::move(folded_query); }
    const std::string& highlight() const { return highlight_; }

    QTextBrowser& browser() { return *browser_; }
    // Whether a message or a conversation is shown (not the idle page).
    bool showing_page() const { return !idle_; }
    // Where the page is written: "templates/tmp.html" in the data folder.
    static std::filesystem::path page_path();

  Q_SIGNALS:
    // The conversation page's "Show earlier messages" link was clicked.
    void earlierRequested();

  private:
    bool show_page(const std::u16string& page);
    void show_file(const std::filesystem::path& file);
    void show_idle();

    TemplateBrowser* browser_ = nullptr;
    std::u16string origin_markup(const SmsMessage& message);

    const ContactList* contacts_ = nullptr;
    ImportOrigins* origins_ = nullptr;
    std::string highlight_;
    bool idle_ = true;
};

}  // namespace quillet

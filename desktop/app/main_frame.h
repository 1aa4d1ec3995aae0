// The main window (objectName "mainFrame"): the owner of the program's data
// (the three boxes, the settings) and of its parts, which it wires
// together: the box tree on the left, the list pane above the message view
// on the right, the menus and toolbar (frame_menus.h), the status bar
// (status_panes.h), the keys (key_table.h), the tray and the new-message
// notice (tray_notice.h), the box files' reports (box_files.h) and the
// exports (export_commands.h). It runs every command of the menu, the
// toolbar, the keys and the lists' context menus, one at a time on the GUI
// thread, each as a command (command_scope.h). When any window's command
// ends it saves each box whose revision moved since its file was last
// written.
//
// Widgets (objectName):
//   "mainSplitter", "rightSplitter"  the splitters
//   "boxTree" (SmsTreeView; its fourth node shows the conversations),
//   "listPane" (ListPane: the search bar over "messageList" (SmsListView),
//   "conversationList" or "searchResults"), "messageView" (HtmlFormView)
//   "mainToolBar" with "toolGetSms", "toolNew", "toolReply", "toolForward",
//   "toolContacts"
//   "statusPane" (the message pane), "statusProgress" (a fetch's progress),
//   "capsPane", "numPane", "scrollPane"
//   menu actions: "getSmsAction", "contactsAction", "exportCsvAction",
//   "exportXmlAction", "importAction", "importFolderAction", "exportAndroidAction",
//   "exportAndroidAllAction", "exportVcardAction", "exportPdfAction", "exportArchiveAction",
//   "printAction", "optionsAction", "exitAction", "newAction",
//   "replyAction", "forwardAction", "markReadAction", "markUnreadAction",
//   "selectAllAction", "deleteAction", "deleteOnDeviceAction", "viewInboxAction",
//   "viewSentAction", "viewDeletedAction", "viewConversationsAction"
//   (Ctrl+1/2/3/4), "searchAction" (Ctrl+E), "toolbarAction",
//   "statusBarAction", "helpAction", "aboutAction"; the keys of
//   key_table.h are their shortcuts
//   "trayIcon" (QSystemTrayIcon)
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <string_view>
#include <vector>

#include "desktop/app/key_table.h"
#include "desktop/library/import_origins.h"
#include "desktop/library/message_library.h"
#include "desktop/link/smartphone_sms_connect.h"
#include "desktop/store/options.h"
#include "desktop/store/sms_box.h"
#include "desktop/views/memory_room.h"

class QSplitter;
class QToolBar;

namespace quillet {

class BoxFiles;
class ConfigList;
class ContactsWindow;
class ExportCommands;
class FrameMenus;
class HelpWindow;
class HtmlFormView;
class ImportHistoryWindow;
class ListPane;
class NewSmsWindow;
class OptionsWindow;
class SmsListView;
class SmsTreeView;
class StatusPanes;
class TrayNotice;

class MainFrame : public QMainWindow {
    Q_OBJECT

  public:
    // The title the window gets once start-up is done; a later start of the
    // program looks for it.
    static constexpr std::u16string_view kTitle = u"Quillet!";

    // Builds the panes and bars at the default size. `link` is the
    // program's one way to the phone; it must outlive the frame's commands.
    explicit MainFrame(SmartphoneSmsConnect& link, QWidget* parent = nullptr);
    // Closes the composers still open; the contacts, options and help windows
    // go with the frame.
    ~MainFrame() override;

    // Once, after the window is shown: the settings, the log, the box files,
    // the hidden contacts and options windows, the Inbox, the link's
    // keep-alive thread with the new-message callback, then "start
    // minimised" and "synchronise on start".
    void start_up();
    // Once, when the window closes: saves the settings and the boxes whose
    // file is behind them, and ends the log. Later calls do nothing.
    void shut_down();
    bool has_shut_down() const { return shut_down_; }
    // Closing asks first when a composer holds a text not sent; close_now
    // (a termination signal) does not.
    void close_now();

    // --- Commands -----------------------------------------------------------
    void show_box(BoxKind kind);
    // The conversations in the list (the tree's fourth node).
    void show_conversations();
    // Get SMSes: imports the boxes the settings select, counts what is new,
    // refills the list and says "%d new imported messages". A link failure
    // shows "Please Check your ActiveSync connection.\nDetails:\n" and the
    // link's text. Asked for while another command runs, it runs after it.
    void on_button_get_sms();
    // A new composer, placed near the main window's top left corner; null
    // before start-up made the contacts window.
    NewSmsWindow* new_sms();
    // Both act only once a message (or a conversation) of the list shown is
    // in the view: Reply addresses a new composer to its correspondent,
    // Forward puts the message's text in one.
    void reply();
    void forward();
    // Delete the messages chosen in the list shown (delete_command.h), on
    // the phone and from their box, or (_on_device) on the phone only.
    void delete_messages();
    void delete_messages_on_device();
    void mark_read();
    void mark_unread();
    void select_all();
    void show_contacts();
    void show_options();
    void show_help();
    void show_about();
    // The box shown as CSV or XML; the other exports are the menu's alone.
    void export_csv();
    void export_xml();
    void print_conversation();
    // Other phones' backups into the boxes (import_command.h): files, or
    // every backup in a folder. Refused while a command-line import runs.
    void import_from(bool folder);
    // The imports' history, with Undo (import_history.h).
    void show_imports();
    // Makes room on the phone: deletes there what the boxes are proven to
    // keep, after a question (move_command.h).
    void move_to_pc();
    // Puts the boxes, the conversation shown, the selection or the contacts
    // back onto the phone (restore_command.h).
    void restore_to_phone();

    // --- Data and parts -----------------------------------------------------
    SmsBox& inbox() { return library_.box(BoxKind::Inbox); }
    SmsBox& sent_items() { return library_.box(BoxKind::SentItems); }
    SmsBox& deleted_items() { return library_.box(BoxKind::DeletedItems); }
    SmsBox& box(BoxKind kind) { return library_.box(kind); }
    MessageLibrary& library() { return library_; }
    SmsBox& current_box() { return *current_box_; }
    // The message a list put in the view last.
    const SmsMessage& selected_message() const;
    Options& options() { return options_; }
    QString status_text() const;
    ContactsWindow* contacts_window() { return contacts_window_.get(); }
    OptionsWindow* options_window() { return options_window_.get(); }
    HelpWindow* help_window() { return help_window_.get(); }
    // The composer that new_sms made last, while it is open.
    NewSmsWindow* composer();
    SmsTreeView& tree_view() { return *tree_view_; }
    SmsListView& list_view() { return *list_view_; }
    ListPane& list_pane() { return *list_pane_; }
    HtmlFormView& html_view() { return *html_view_; }
    QToolBar& toolbar();
    TrayNotice& tray_notice() { return *tray_; }

  Q_SIGNALS:
    // A Get SMS ended: the count reported, or -1 when the link failed.
    void getSmsFinished(int count);
    // The window was closed (File > Exit, the close box, a termination
    // signal); shut_down has run. The program then ends.
    void closed();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void build_panes();
    void wire_panes();
    void wire_menus();
    void wire_tray();
    // The layout the last run left in "options.cfg" (window_layout.h), or
    // the default one; keep_layout writes it there.
    void restore_layout();
    void keep_layout(ConfigList& list) const;
    // The first sizes of the panes: the tree a fifth of the width, the list
    // tall enough for a dozen rows.
    void set_default_pane_sizes();
    void create_side_windows();
    // At start: a data folder in a sync folder is explained once, and
    // conflict copies of the boxes are offered for import.
    void offer_sync_copies();
    void run_frame_key(FrameKey key);
    void show_arrived_message(const SmsMessage& message);
    bool drafts_may_go();
    // After any window's command: saves what changed, brings the list shown
    // up to date, runs a Get SMS that waited.
    void after_command();
    // `handler` (a member of the frame, or a callable taking it) as a
    // menu, toolbar or list request runs it, with the memory reserve set
    // aside (memory_room.h): a command that runs out of memory says so
    // instead of taking the program down. What it finished before is saved
    // as after any command.
    template <typename Handler>
    auto guarded(Handler handler) {
        return [this, handler] {
            const MemoryReserve::Held reserve;
            try {
                std::invoke(handler, this);
            } catch (const std::bad_alloc&) {
                say_out_of_memory();
            }
        };
    }
    void say_out_of_memory();

    // Declared first: everything below may refer to them.
    SmartphoneSmsConnect& link_;
    MessageLibrary library_;
    // Where imported messages came from, for the message view; read again
    // after every import and undo.
    std::optional<ImportOrigins> origins_;
    SmsBox* current_box_ = &library_.box(BoxKind::Inbox);
    Options options_;
    bool shut_down_ = false;
    bool started_ = false;
    bool close_without_asking_ = false;
    // A Get SMS asked for while a command ran waits for it to end.
    bool get_sms_waiting_ = false;

    std::unique_ptr<ContactsWindow> contacts_window_;
    std::unique_ptr<OptionsWindow> options_window_;
    std::unique_ptr<ImportHistoryWindow> imports_window_;
    std::unique_ptr<HelpWindow> help_window_;
    std::vector<QPointer<NewSmsWindow>> composers_;
    QPointer<NewSmsWindow> composer_;
    // The size of the composer closed last: the next one opens at it.
    QSize composer_size_{400, 400};
    bool sync_told_ = false;

    QSplitter* main_splitter_ = nullptr;
    QSplitter* right_splitter_ = nullptr;
    SmsTreeView* tree_view_ = nullptr;
    ListPane* list_pane_ = nullptr;
    SmsListView* list_view_ = nullptr;
    HtmlFormView* html_view_ = nullptr;
    std::unique_ptr<StatusPanes> status_;
    std::unique_ptr<FrameMenus> menus_;
    std::unique_ptr<BoxFiles> box_files_;
    std::unique_ptr<ExportCommands> exports_;
    TrayNotice* tray_ = nullptr;
};

}  // namespace quillet

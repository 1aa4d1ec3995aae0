// The main window (objectName "mainFrame"): the owner of the program's data
// (the three boxes, the settings, the message last shown) and of its panes:
// the box tree on the left, the message list above the message view on the
// right. It runs every command of the menu, the toolbar, the keys and the
// list's context menu, one at a time on the GUI thread, each as a command
// (command_scope.h) with a status text. When any window's command ends it
// saves each box whose revision moved since its file was last written.
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
#include <QMessageBox>
#include <QPointer>
#include <cstdint>
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
#include "desktop/store/correspondence.h"
#include "desktop/store/options.h"
#include "desktop/store/sms_box.h"
#include "desktop/store/status_sink.h"
#include "desktop/views/memory_room.h"

class QAction;
class QLabel;
class QProgressBar;
class QSplitter;
class QSystemTrayIcon;
class QToolBar;

namespace quillet {

class ConfigList;
class ContactList;
class ContactsWindow;
class DesktopNotifier;
class HelpWindow;
class HtmlFormView;
class ListPane;
class NewSmsWindow;
class OptionsWindow;
class SmsListView;
class SmsTreeView;
struct NotificationRelay;

class MainFrame : public QMainWindow, public StatusSink {
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
    // Both act only once a message was shown: Reply addresses a new composer
    // to its sender (in the conversations, to the conversation's
    // correspondent), Forward puts its text in one.
    void reply();
    void forward();
    // Delete the messages selected, on the phone and from their box, or
    // (_on_device) on the phone only. In the conversations: every message of
    // the conversations selected, once the user said Yes to a question that
    // names how many and whose. The status says what was done.
    void delete_messages();
    void delete_messages_on_device();
    void mark_read();
    void mark_unread();
    void select_all();
    void show_contacts();
    void show_options();
    void show_help();
    void show_about();
    void export_csv();
    void export_xml();
    // Inbox and Sent Items (and Deleted Items with _all) as an Android SMS
    // backup; the status says how many messages, and how many characters XML
    // could not carry.
    void export_android_boxes();
    void export_android_all();
    void export_vcard();
    // The conversation shown, or else that of the message last shown (every
    // box, every spelling of its number), as PDF or on a printer.
    void export_conversation_pdf();
    void print_conversation();
    // Everything into one new folder (archive.h).
    void export_archive();
    // Other phones' backups into the boxes (import_command.h): files, or
    // every backup in a folder. Refused while a command-line import runs.
    void import_backups();
    void import_folder();
    // Makes room on the phone: deletes there what the boxes are proven to
    // keep, after a question (move_command.h).
    void move_to_pc();
    // Puts the boxes, the conversation shown, the selection or the contacts
    // back onto the phone (restore_command.h).
    void restore_to_phone();

    // --- Tray and notification ---------------------------------------------
    // Puts the icon in the tray and hides the window; where the desktop has
    // no tray it minimises the window to the taskbar instead. The icon's
    // menu ("trayMenu") holds "Show Quillet", "Get SMS" and "Quit".
    void hide_to_tray();
    // Out of the tray (or restored, unless maximised) and in front.
    void bring_to_front();
    bool in_tray() const { return in_tray_; }
    QSystemTrayIcon& tray_icon() { return *tray_; }
    // The link's callback, called on its keep-alive thread: queues, on the
    // GUI thread, a Get SMS and, as the settings say, the window brought
    // forward, the sound and the notice. Safe after the frame is gone.
    // The notice comes once the Get SMS has run and names the newest
    // message's sender. Where the desktop has a notification service it is
    // a desktop notification (desktop_notifier.h) with the message's first
    // line, whose "Show" brings the window forward showing that message;
    // elsewhere, or when the service refuses it, a box ("newMessageNotice",
    // not modal) with the options' popup text. While either is open, later
    // arrivals update it instead of opening another.
    void new_message_arrived();
    QMessageBox* new_message_notice() const { return notice_.data(); }
    DesktopNotifier& desktop_notifier() { return *notifier_; }
    // The message a notice announced last, in the Inbox, shown and selected.
    void show_arrived_message();

    // --- StatusSink ---------------------------------------------------------
    // The engine's texts, shown in the desktop's language.
    void set_status_text(std::u16string_view text) override;
    void set_progress(int percent) override;
    // A text of the window's own, already translated.
    void show_status(const QString& text);
    QString status_text() const;

    // --- Data and panes -----------------------------------------------------
    SmsBox& inbox() { return library_.box(BoxKind::Inbox); }
    SmsBox& sent_items() { return library_.box(BoxKind::SentItems); }
    SmsBox& deleted_items() { return library_.box(BoxKind::DeletedItems); }
    SmsBox& box(BoxKind kind) { return library_.box(kind); }
    MessageLibrary& library() { return library_; }
    SmsBox& current_box() { return *current_box_; }
    const SmsMessage& selected_message() const { return selected_message_; }
    Options& options() { return options_; }
    ContactsWindow* contacts_window() { return contacts_window_.get(); }
    OptionsWindow* options_window() { return options_window_.get(); }
    HelpWindow* help_window() { return help_window_.get(); }
    // The composer that new_sms made last, while it is open.
    NewSmsWindow* composer();
    SmsTreeView& tree_view() { return *tree_view_; }
    SmsListView& list_view() { return *list_view_; }
    ListPane& list_pane() { return *list_pane_; }
    HtmlFormView& html_view() { return *html_view_; }
    QToolBar& toolbar() { return *toolbar_; }

  Q_SIGNALS:
    // A Get SMS ended: the count reported, or -1 when the link failed.
    void getSmsFinished(int count);
    // The window was closed (File > Exit, the close box, a termination
    // signal); shut_down has run. The program then ends.
    void closed();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void note_user_at_work(QObject* watched);

  private:
    void build_panes();
    void build_menus();
    // The list's context menu shows the keys of its commands.
    void show_list_menu_keys();
    void build_toolbar();
    // The toolbar's pictures in the ink of the palette now in force.
    void redraw_toolbar_pictures();
    void build_status_bar();
    // The layout the last run left in "options.cfg" (window_layout.h), or
    // the default one; keep_layout writes it there.
    void restore_layout();
    void keep_layout(ConfigList& list) const;
    // The first sizes of the panes: the tree a fifth of the width, the list
    // tall enough for a dozen rows.
    void set_default_pane_sizes();
    void create_side_windows();
    void load_boxes();
    void run_frame_key(FrameKey key);
    void refresh_lock_panes();
    void on_message_shown(const SmsMessage& message);
    void on_new_message();
    // Delete (`on_device`: Delete on device) in the list shown.
    void delete_in_list(bool on_device);
    void export_box(bool xml);
    void export_android(bool with_deleted);
    void import_from(bool folder);
    const ContactList& export_contacts() const;
    bool has_conversation();
    // A message of a box or of the search results is in the message view.
    bool message_shown() const;
    Correspondence selected_conversation();
    QString conversation_title(const Correspondence& c) const;
    // Runs `work` as a command; a failure text it returns is shown in a
    // message box.
    void run_export(const std::function<QString()>& work);
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
    void ask_for_get_sms();
    void build_tray_icon();
    void build_desktop_notifier();
    // "Minimize to System Tray" chosen and a tray to go to.
    bool tray_wanted() const;
    void show_new_message_notice(int arrived, const QString& sender);
    void show_notice_box();
    // "Name (number)", or the number alone for one not in the contacts.
    QString sender_name(const SmsMessage& message) const;
    bool drafts_may_go();

    // After any window's command: saves what changed, refills the list when
    // its box gained or lost messages elsewhere, runs a Get SMS that waited.
    void after_command();
    // Saving: each loaded box whose file is behind it (message_library.h).
    QStringList save_boxes_behind();
    // Says what another program's messages taken in; returns the failures.
    QStringList told(const BoxSaveReport& report);
    void save_changed_boxes();
    void report_save_failures(const QStringList& failures);
    // Before the window closes: the boxes are saved, or, when they cannot
    // be, the user chooses Retry, another folder, or to quit without them.
    // False: Cancel, the window stays open.
    bool changes_kept_or_let_go();
    bool saved_elsewhere();

    // Declared first: everything below may refer to them.
    SmartphoneSmsConnect& link_;
    MessageLibrary library_;
    // Where imported messages came from, for the message view; read again
    // after every import and undo.
    std::optional<ImportOrigins> origins_;
    SmsBox* current_box_ = &library_.box(BoxKind::Inbox);
    SmsMessage selected_message_;
    Options options_;
    bool save_failure_shown_ = false;
    bool shut_down_ = false;
    bool started_ = false;
    bool close_without_asking_ = false;
    // The user chose to quit without saving the boxes here.
    bool changes_let_go_ = false;

    std::unique_ptr<ContactsWindow> contacts_window_;
    std::unique_ptr<OptionsWindow> options_window_;
    std::unique_ptr<HelpWindow> help_window_;
    std::vector<QPointer<NewSmsWindow>> composers_;
    QPointer<NewSmsWindow> composer_;
    // The size of the composer closed last: the next one opens at it.
    QSize composer_size_{400, 400};
    // Each box shown starts with the sender column this wide: as the last
    // run left it, or the classic width.
    int sender_width_ = 150;

    QSplitter* main_splitter_ = nullptr;
    QSplitter* right_splitter_ = nullptr;
    SmsTreeView* tree_view_ = nullptr;
    ListPane* list_pane_ = nullptr;
    SmsListView* list_view_ = nullptr;
    HtmlFormView* html_view_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    QLabel* status_pane_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* lock_panes_[3] = {nullptr, nullptr, nullptr};
    QSystemTrayIcon* tray_ = nullptr;
    bool in_tray_ = false;
    QPointer<QMessageBox> notice_;
    int notice_count_ = 0;
    bool notice_waiting_ = false;
    QString notice_sender_;
    SmsMessage newest_arrived_;
    DesktopNotifier* notifier_ = nullptr;

    // A Get SMS asked for while a command ran waits for it to end.
    bool get_sms_waiting_ = false;

    ShiftTracker shift_;
    struct SeenKey {
        const void* event = nullptr;
        quint64 timestamp = 0;
        int key = 0;
        QPointer<QWidget> receiver;
    };
    SeenKey last_key_;

    std::shared_ptr<NotificationRelay> relay_;
};

}  // namespace quillet

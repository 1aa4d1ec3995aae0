#include "main_frame.h"

#include "desktop/library/importer.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <QSystemTrayIcon>

#include "desktop/app/notification_relay.h"
#include "desktop/composer/new_sms_window.h"
#include "desktop/store/config_list.h"
#include "desktop/store/data_move.h"
#include "desktop/store/log_file.h"
#include "desktop/views/command_scope.h"
#include "desktop/views/contacts_window.h"
#include "desktop/views/engine_texts.h"
#include "desktop/views/gui_seams.h"
#include "desktop/views/help_window.h"
#include "desktop/views/html_form_view.h"
#include "desktop/views/list_pane.h"
#include "desktop/views/memory_room.h"
#include "desktop/views/options_window.h"
#include "desktop/views/pictures.h"
#include "desktop/views/sms_list_view.h"
#include "desktop/views/sms_tree_view.h"
#include "desktop/views/window_layout.h"
#include "desktop/views/window_parts.h"
#include "protocol/text_codec.h"

namespace quillet {

namespace {

constexpr int kDefaultWidth = 980;
constexpr int kDefaultHeight = 700;

}  // namespace

MainFrame::MainFrame(SmartphoneSmsConnect& link, QWidget* parent)
    : QMainWindow(parent), link_(link), relay_(std::make_shared<NotificationRelay>(this)) {
    keep_painter_threads();
    setObjectName(QStringLiteral("mainFrame"));
    setWindowTitle(QStringLiteral("Quillet"));
    setWindowIcon(application_icon());
    resize(kDefaultWidth, kDefaultHeight);
    build_toolbar();
    build_status_bar();
    build_panes();
    build_menus();
    build_tray_icon();
    build_desktop_notifier();
    restore_layout();
    CommandScope::set_after_command([this] { after_command(); });
    qApp->installEventFilter(this);
}

MainFrame::~MainFrame() {
    CommandScope::set_after_command({});
    qApp->removeEventFilter(this);
    relay_->forget_frame();
    // Composers refer to Sent Items and the contacts window: they go first.
    for (const QPointer<NewSmsWindow>& composer : composers_)
        delete composer.data();
}

void MainFrame::set_status_text(std::u16string_view text) {
    show_status(shown_engine_text(text));
}

void MainFrame::show_status(const QString& shown) {
    if (status_pane_->text() == shown)
        return;
    status_pane_->setText(shown);
    // Commands block the event loop: draw the text now.
    if (status_pane_->isVisible())
        status_pane_->repaint();
}

void MainFrame::set_progress(int percent) {
    if (percent < 0) {
        progress_->hide();
        return;
    }
    progress_->setValue(percent);
    if (!progress_->isVisible() && statusBar()->isVisible())
        progress_->show();
    if (progress_->isVisible())
        progress_->repaint();
}

QString MainFrame::status_text() const {
    return status_pane_->text();
}

void MainFrame::start_up() {
    if (started_)
        return;
    started_ = true;
    // Before any data file is read: an earlier run's files may still be in
    // the program folder.
    const std::u16string moved = data_move_notice(library_.open_user_folder());
    load_options(options_);
    program_log().open("logfile.txt");
    program_log().log_line("===\nQuillet! started");
    // Reading and listing the boxes leave the window system room to draw,
    // as every command does (memory_room.h).
    std::optional<MemoryReserve::Held> reserve(std::in_place);
    load_boxes();
    if (shut_down_)
        return;
    // An import a kill left half-done is taken out again.
    Importer(library_, nullptr).finish_interrupted();
    origins_.emplace(library_.folder());
    html_view_->set_origins(&*origins_);
    if (!moved.empty()) {
        program_log().log_line(to_utf8(moved));
        set_status_text(moved);
    }
    create_side_windows();
    show_box(BoxKind::Inbox);
    reserve.reset();
    std::weak_ptr<NotificationRelay> relay = relay_;
    link_.start_sentinel([relay] {
        if (auto alive = relay.lock())
            alive->post();
    });
    if (options_.minimize_on_open) {
        if (tray_wanted()) {
            hide_to_tray();
        } else {
            showMinimized();
        }
    }
    if (options_.sync_on_open)
        on_button_get_sms();
}

void MainFrame::create_side_windows() {
    contacts_window_ = std::make_unique<ContactsWindow>(link_);
    options_window_ = std::make_unique<OptionsWindow>();
    ConfigList layout;
    layout.load_config(kOptionsFileName);
    const QRect frame = frameGeometry();
    contacts_window_->setGeometry(
        QRect(QPoint(frame.left() + 200, frame.top() + 100),
              kept_size(layout, layout_key::kContactsSize).value_or(QSize(400, 400))));
    options_window_->setGeometry(
        QRect(QPoint(frame.left() + 200, frame.top() + 100),
              kept_size(layout, layout_key::kOptionsSize).value_or(QSize(500, 400))));
    const ContactList* contacts = &contacts_window_->contacts();
    list_pane_->set_contacts(contacts);
    html_view_->set_contacts(contacts);
    connect(contacts_window_.get(), &ContactsWindow::contactsChanged, list_pane_,
            &ListPane::names_changed);
}

void MainFrame::shut_down() {
    if (shut_down_)
        return;
    shut_down_ = true;
    QStringList failures;
    const OptionsSaveResult saved =
        save_options(options_, [this](ConfigList& list) { keep_layout(list); });
    if (!saved) {
        failures << QStringLiteral("options.cfg: ") + QString::fromStdString(saved.file.error);
    }
    if (!changes_let_go_)
        failures << save_boxes_behind();
    save_failure_shown_ = false;  // the last chance to say it
    report_save_failures(failures);
    program_log().log_line("Quillet Ended\n===");
    program_log().close();
}

bool MainFrame::drafts_may_go() {
    int drafts = 0;
    for (const QPointer<NewSmsWindow>& composer : composers_) {
        if (composer && composer->has_draft())
            ++drafts;
    }
    if (drafts == 0)
        return true;
    const QString text = drafts == 1 ? tr("A message you are writing has not been sent. Close "
                                          "Quillet and discard it?")
                                     : tr("%1 messages you are writing have not been sent. "
                                          "Close Quillet and discard them?")
                                           .arg(drafts);
    return ask_yes_no(this, text);
}

void MainFrame::close_now() {
    close_without_asking_ = true;
    close();
}

void MainFrame::closeEvent(QCloseEvent* event) {
    if (!shut_down_ && !close_without_asking_ && (!drafts_may_go() || !changes_kept_or_let_go())) {
        event->ignore();
        return;
    }
    shut_down();
    event->accept();
    for (const QPointer<NewSmsWindow>& composer : composers_) {
        if (composer)
            composer->hide();
    }
    if (contacts_window_)
        contacts_window_->hide();
    if (options_window_)
        options_window_->hide();
    if (help_window_)
        help_window_->hide();
    tray_->hide();
    Q_EMIT closed();
}

// The user at work in the window has seen what came in: the next notice
// counts from there. Not every notification service says when its popup
// went away (notification-daemon lets it expire without a word), so the
// service's NotificationClosed alone would leave the count growing.
void MainFrame::note_user_at_work(QObject* watched) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (notice_count_ != 0 && widget != nullptr && widget->window() == this)
        notice_count_ = 0;
}

bool MainFrame::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonPress || type == QEvent::KeyPress)
        note_user_at_work(watched);
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->window() != this)
        return false;
    if (type == QEvent::KeyRelease) {
        shift_.key_event(*key);
        last_key_ = {};
        if (!key->isAutoRepeat())
            refresh_lock_panes();
        return false;
    }
    // The press travels from the focused pane up to the frame: act once.
    if (last_key_.event == key && last_key_.timestamp == key->timestamp() &&
        last_key_.key == key->key() && last_key_.receiver && widget != last_key_.receiver &&
        widget->isAncestorOf(last_key_.receiver)) {
        return false;
    }
    last_key_ = {key, key->timestamp(), key->key(), widget};
    shift_.key_event(*key);
    const bool ctrl = key->modifiers().testFlag(Qt::ControlModifier);
    FrameKey command = frame_key(key->key(), ctrl, shift_.left_shift_held(*key));
    // In the search field these keys edit the text typed.
    if (widget == &list_pane_->search_field() &&
        (command == FrameKey::Delete || command == FrameKey::DeleteOnDevice ||
         command == FrameKey::SelectAll))
        command = FrameKey::None;
    // A Delete held down deletes once, not every message below it in turn.
    const bool deleting = command == FrameKey::Delete || command == FrameKey::DeleteOnDevice;
    if (!(deleting && key->isAutoRepeat()))
        guarded([command](MainFrame* frame) { frame->run_frame_key(command); })();
    return false;  // the pane gets the key as well
}

void MainFrame::run_frame_key(FrameKey key) {
    switch (key) {
        case FrameKey::SelectAll:
            select_all();
            break;
        case FrameKey::Forward:
            forward();
            break;
        case FrameKey::GetSms:
            on_button_get_sms();
            break;
        case FrameKey::MarkRead:
            mark_read();
            break;
        case FrameKey::NewSms:
            new_sms();
            break;
        case FrameKey::Reply:
            reply();
            break;
        case FrameKey::MarkUnread:
            mark_unread();
            break;
        case FrameKey::DeleteOnDevice:
            delete_messages_on_device();
            break;
        case FrameKey::Delete:
            delete_messages();
            break;
        case FrameKey::Help:
            show_help();
            break;
        case FrameKey::Contacts:
            show_contacts();
            break;
        case FrameKey::Print:
            print_conversation();
            break;
        case FrameKey::Quit:
            close();
            break;
        case FrameKey::None:
            break;
    }
}

}  // namespace quillet

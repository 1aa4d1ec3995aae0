#include "main_frame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QSplitter>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QToolBar>

#include "desktop/app/help_window.h"
#include "desktop/app/html_form_view.h"
#include "desktop/app/lock_keys.h"
#include "desktop/app/notification_relay.h"
#include "desktop/app/pictures.h"
#include "desktop/composer/new_sms_window.h"
#include "desktop/store/log_file.h"
#include "desktop/views/contacts_window.h"
#include "desktop/views/gui_seams.h"
#include "desktop/views/options_window.h"
#include "desktop/views/sms_list_view.h"
#include "desktop/views/sms_tree_view.h"

namespace quillet {
namespace {

constexpr int kDefaultWidth = 980;
constexpr int kDefaultHeight = 700;

QString qstring(std::u16string_view text) {
    return QString(reinterpret_cast<const QChar*>(text.data()),
                   static_cast<qsizetype>(text.size()));
}

}  // namespace

MainFrame::MainFrame(SmartphoneSmsConnect& link, QWidget* parent)
    : QMainWindow(parent), link_(link), relay_(std::make_shared<NotificationRelay>(this)) {
    setObjectName(QStringLiteral("mainFrame"));
    setWindowTitle(QStringLiteral("Quillet"));
    setWindowIcon(application_icon());
    resize(kDefaultWidth, kDefaultHeight);
    build_toolbar();
    build_status_bar();
    build_panes();
    build_menus();
    tray_ = new QSystemTrayIcon(application_icon(), this);
    tray_->setObjectName(QStringLiteral("trayIcon"));
    tray_->setToolTip(QStringLiteral("Quillet"));
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason why) {
                if (why == QSystemTrayIcon::Trigger)
                    bring_to_front();
            });
    link_.set_folder_status_sink(this);
    qApp->installEventFilter(this);
}

MainFrame::~MainFrame() {
    qApp->removeEventFilter(this);
    relay_->forget_frame();
    link_.set_folder_status_sink(nullptr);
    // Composers refer to Sent Items and the contacts window: they go first.
    for (const QPointer<NewSmsWindow>& composer : composers_)
        delete composer.data();
}

void MainFrame::build_panes() {
    main_splitter_ = new QSplitter(Qt::Horizontal, this);
    main_splitter_->setObjectName(QStringLiteral("mainSplitter"));
    tree_view_ = new SmsTreeView(main_splitter_);
    right_splitter_ = new QSplitter(Qt::Vertical, main_splitter_);
    right_splitter_->setObjectName(QStringLiteral("rightSplitter"));
    list_view_ = new SmsListView(right_splitter_);
    html_view_ = new HtmlFormView(right_splitter_);
    main_splitter_->setChildrenCollapsible(false);
    right_splitter_->setChildrenCollapsible(false);
    setCentralWidget(main_splitter_);

    // First sizes from the window's size: the tree a fifth of the width, the
    // list a fifth of the height, the view the rest.
    const int w = width();
    const int h = height();
    main_splitter_->setSizes({w / 5, w * 4 / 5});
    right_splitter_->setSizes({h / 5, h * 4 / 5});

    list_view_->setup_columns();
    list_view_->set_display(html_view_);
    list_view_->set_device(&link_);
    connect(tree_view_, &SmsTreeView::boxChosen, this, &MainFrame::show_box);
    connect(list_view_, &SmsListView::messageShown, this, &MainFrame::on_message_shown);
    connect(list_view_, &SmsListView::messagesMarkedRead, this, [this] {
        mark_changed(*current_box_);
        if (busy_ == 0)
            save_changed_boxes();
    });
    connect(list_view_, &SmsListView::forwardRequested, this, &MainFrame::forward);
    connect(list_view_, &SmsListView::replyRequested, this, &MainFrame::reply);
    connect(list_view_, &SmsListView::markReadRequested, this, &MainFrame::mark_read);
    connect(list_view_, &SmsListView::markUnreadRequested, this, &MainFrame::mark_unread);
    connect(list_view_, &SmsListView::deleteRequested, this, &MainFrame::delete_messages);
    connect(list_view_, &SmsListView::deleteOnDeviceRequested, this,
            &MainFrame::delete_messages_on_device);
}

void MainFrame::build_menus() {
    auto add = [this](QMenu* menu, const QString& text, const char* name, auto handler) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    add(file, QStringLiteral("&Get SMSes\tCTRL+G"), "getSmsAction", &MainFrame::ask_for_get_sms);
    add(file, QStringLiteral("&Contacts\tF4"), "contactsAction", &MainFrame::show_contacts);
    file->addSeparator();
    QMenu* export_menu = file->addMenu(QStringLiteral("Export"));
    add(export_menu, QStringLiteral("to CSV file"), "exportCsvAction", &MainFrame::export_csv);
    add(export_menu, QStringLiteral("to XML file"), "exportXmlAction", &MainFrame::export_xml);
    file->addSeparator();
    add(file, QStringLiteral("Options"), "optionsAction", &MainFrame::show_options);
    file->addSeparator();
    add(file, QStringLiteral("E&xit"), "exitAction", &QWidget::close);

    QMenu* sms = menuBar()->addMenu(QStringLiteral("&Sms"));
    add(sms, QStringLiteral("&New\tCTRL+N"), "newAction", &MainFrame::new_sms);
    sms->addSeparator();
    add(sms, QStringLiteral("&Reply\tCTRL+R"), "replyAction", &MainFrame::reply);
    add(sms, QStringLiteral("&Forward\tCTRL+F"), "forwardAction", &MainFrame::forward);
    sms->addSeparator();
    add(sms, QStringLiteral("&Mark read \tCTRL+M"), "markReadAction", &MainFrame::mark_read);
    add(sms, QStringLiteral("Mark &unread\tCTRL+U"), "markUnreadAction", &MainFrame::mark_unread);
    sms->addSeparator();
    add(sms, QStringLiteral("&Delete\tDEL"), "deleteAction", &MainFrame::delete_messages);
    add(sms, QStringLiteral("Delete only &on device\tSHIFT+DEL"), "deleteOnDeviceAction",
        &MainFrame::delete_messages_on_device);

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    QAction* toolbar = toolbar_->toggleViewAction();
    toolbar->setText(QStringLiteral("&Toolbar"));
    toolbar->setObjectName(QStringLiteral("toolbarAction"));
    view->addAction(toolbar);
    QAction* status = view->addAction(QStringLiteral("&Status Bar"));
    status->setObjectName(QStringLiteral("statusBarAction"));
    status->setCheckable(true);
    status->setChecked(true);
    connect(status, &QAction::toggled, statusBar(), &QWidget::setVisible);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    add(help, QStringLiteral("&Help\tF1"), "helpAction", &MainFrame::show_help);
    add(help, QStringLiteral("&About Quillet..."), "aboutAction", &MainFrame::show_about);
}

void MainFrame::build_toolbar() {
    toolbar_ = addToolBar(QStringLiteral("Toolbar"));
    toolbar_->setObjectName(QStringLiteral("mainToolBar"));
    toolbar_->setIconSize(QSize(32, 32));
    toolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar_->setAllowedAreas(Qt::AllToolBarAreas);
    auto add = [this](ToolbarPicture picture, const QString& label, const QString& prompt,
                      const char* name, auto handler) {
        QAction* action = toolbar_->addAction(toolbar_icon(picture), label);
        action->setObjectName(QLatin1String(name));
        action->setToolTip(prompt);
        action->setStatusTip(prompt);
        connect(action, &QAction::triggered, this, handler);
    };
    add(ToolbarPicture::GetSms, QStringLiteral("Get SMS"), QStringLiteral("Get new SMS messages"),
        "toolGetSms", &MainFrame::ask_for_get_sms);
    toolbar_->addSeparator();
    add(ToolbarPicture::NewSms, QStringLiteral("New"), QStringLiteral("Create new SMS message"),
        "toolNew", &MainFrame::new_sms);
    toolbar_->addSeparator();
    add(ToolbarPicture::Reply, QStringLiteral("Reply"), QStringLiteral("Reply"), "toolReply",
        &MainFrame::reply);
    add(ToolbarPicture::Forward, QStringLiteral("Forward"), QStringLiteral("Forward"),
        "toolForward", &MainFrame::forward);
    toolbar_->addSeparator();
    add(ToolbarPicture::Contacts, QStringLiteral("Contacts"), QStringLiteral("Contacts"),
        "toolContacts", &MainFrame::show_contacts);
}

void MainFrame::build_status_bar() {
    status_pane_ = new QLabel(QStringLiteral("Ready"), this);
    status_pane_->setObjectName(QStringLiteral("statusPane"));
    status_pane_->setMinimumWidth(120);
    statusBar()->addWidget(status_pane_, 1);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("statusProgress"));
    progress_->setRange(0, 100);
    progress_->setMaximumWidth(180);
    progress_->setMaximumHeight(statusBar()->fontMetrics().height() + 4);
    progress_->hide();
    statusBar()->addWidget(progress_);
    const QString names[] = {QStringLiteral("capsPane"), QStringLiteral("numPane"),
                             QStringLiteral("scrollPane")};
    for (int i = 0; i < 3; ++i) {
        lock_panes_[i] = new QLabel(this);
        lock_panes_[i]->setObjectName(names[i]);
        lock_panes_[i]->setAlignment(Qt::AlignCenter);
        lock_panes_[i]->setFrameShape(QFrame::Panel);
        lock_panes_[i]->setFrameShadow(QFrame::Sunken);
        lock_panes_[i]->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) +
                                        10);
        statusBar()->addPermanentWidget(lock_panes_[i]);
    }
    refresh_lock_panes();
}

void MainFrame::refresh_lock_panes() {
    const LockKeys keys = read_lock_keys();
    lock_panes_[0]->setText(keys.caps ? QStringLiteral("CAP") : QString());
    lock_panes_[1]->setText(keys.num ? QStringLiteral("NUM") : QString());
    lock_panes_[2]->setText(keys.scroll ? QStringLiteral("SCRL") : QString());
}

void MainFrame::set_status_text(std::u16string_view text) {
    const QString shown = qstring(text);
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

SmsBox& MainFrame::box(BoxKind kind) {
    switch (kind) {
        case BoxKind::SentItems:
            return sent_items_;
        case BoxKind::DeletedItems:
            return deleted_items_;
        default:
            return inbox_;
    }
}

void MainFrame::start_up() {
    if (started_)
        return;
    started_ = true;
    load_options(options_);
    program_log().open("logfile.txt");
    program_log().log_line("===\nQuillet! started");
    load_boxes();
    create_side_windows();
    show_box(static_cast<int>(BoxKind::Inbox));
    std::weak_ptr<NotificationRelay> relay = relay_;
    link_.start_sentinel([relay] {
        if (auto alive = relay.lock())
            alive->post();
    });
    if (options_.minimize_on_open) {
        if (options_.minimize_to_tray) {
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
    const QRect frame = frameGeometry();
    contacts_window_->setGeometry(frame.left() + 200, frame.top() + 100, 400, 400);
    options_window_->setGeometry(frame.left() + 200, frame.top() + 100, 500, 400);
    const ContactList* contacts = &contacts_window_->contacts();
    list_view_->set_contacts(contacts);
    html_view_->set_contacts(contacts);
    connect(contacts_window_.get(), &ContactsWindow::contactsChanged, this,
            [this] { list_view_->list_model().names_changed(); });
}

void MainFrame::shut_down() {
    if (shut_down_)
        return;
    shut_down_ = true;
    QStringList failures;
    const OptionsSaveResult saved = save_options(options_);
    if (!saved) {
        failures << QStringLiteral("options.cfg: ") + QString::fromStdString(saved.file.error);
    }
    for (SmsBox* box : {&inbox_, &sent_items_, &deleted_items_}) {
        const std::u16string_view name = box_file_name(box->kind());
        const SaveResult result = box->save_box(name);
        if (!result)
            failures << qstring(name) + QStringLiteral(": ") + QString::fromStdString(result.error);
    }
    save_failure_shown_ = false;  // the last chance to say it
    report_save_failures(failures);
    program_log().log_line("Quillet Ended\n===");
    program_log().close();
}

void MainFrame::closeEvent(QCloseEvent* event) {
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

bool MainFrame::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
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
    run_frame_key(frame_key(key->key(), ctrl, shift_.left_shift_held(*key)));
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
        case FrameKey::None:
            break;
    }
}

}  // namespace quillet

// The main window's panes, menus, toolbar and status bar.
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <algorithm>

#include "desktop/app/main_frame.h"
#include "desktop/composer/new_sms_window.h"
#include "desktop/store/config_list.h"
#include "desktop/views/contacts_window.h"
#include "desktop/views/html_form_view.h"
#include "desktop/views/list_pane.h"
#include "desktop/views/lock_keys.h"
#include "desktop/views/options_window.h"
#include "desktop/views/pictures.h"
#include "desktop/views/sms_list_view.h"
#include "desktop/views/sms_tree_view.h"
#include "desktop/views/window_layout.h"

namespace quillet {

void MainFrame::build_panes() {
    main_splitter_ = new QSplitter(Qt::Horizontal, this);
    main_splitter_->setObjectName(QStringLiteral("mainSplitter"));
    tree_view_ = new SmsTreeView(main_splitter_);
    right_splitter_ = new QSplitter(Qt::Vertical, main_splitter_);
    right_splitter_->setObjectName(QStringLiteral("rightSplitter"));
    html_view_ = new HtmlFormView;
    list_pane_ = new ListPane(inbox(), sent_items(), deleted_items(), *html_view_, right_splitter_);
    list_view_ = &list_pane_->list_view();
    right_splitter_->addWidget(html_view_);
    main_splitter_->setChildrenCollapsible(false);
    right_splitter_->setChildrenCollapsible(false);
    setCentralWidget(main_splitter_);

    // A taller or wider window widens the view and the list, not the tree,
    // and heightens the view, not the list.
    main_splitter_->setStretchFactor(1, 1);
    right_splitter_->setStretchFactor(1, 1);
    list_view_->setup_columns();
    set_default_pane_sizes();
    list_view_->set_display(html_view_);
    connect(tree_view_, &SmsTreeView::boxChosen, this, [this](BoxKind kind) {
        guarded([kind](MainFrame* frame) { frame->show_box(kind); })();
    });
    connect(tree_view_, &SmsTreeView::conversationsChosen, this,
            guarded(&MainFrame::show_conversations));
    connect(list_view_, &SmsListView::messageShown, this, &MainFrame::on_message_shown);
    connect(list_pane_, &ListPane::messageShown, this, &MainFrame::on_message_shown);
    connect(list_view_, &SmsListView::forwardRequested, this, guarded(&MainFrame::forward));
    connect(list_view_, &SmsListView::replyRequested, this, guarded(&MainFrame::reply));
    connect(list_view_, &SmsListView::markReadRequested, this, guarded(&MainFrame::mark_read));
    connect(list_view_, &SmsListView::markUnreadRequested, this, guarded(&MainFrame::mark_unread));
    connect(list_view_, &SmsListView::deleteRequested, this, guarded(&MainFrame::delete_messages));
    connect(list_view_, &SmsListView::deleteOnDeviceRequested, this,
            guarded(&MainFrame::delete_messages_on_device));
    connect(list_pane_, &ListPane::replyRequested, this, guarded(&MainFrame::reply));
    connect(list_pane_, &ListPane::deleteRequested, this, guarded(&MainFrame::delete_messages));
    connect(list_pane_, &ListPane::deleteOnDeviceRequested, this,
            guarded(&MainFrame::delete_messages_on_device));
}

void MainFrame::set_default_pane_sizes() {
    constexpr int kFirstRows = 12;
    const int w = width();
    const int h = height();
    main_splitter_->setSizes({w / 5, w * 4 / 5});
    const int list = std::min(std::max(h / 5, height_for_rows(*list_view_, kFirstRows)), h / 2);
    right_splitter_->setSizes({list, h - list});
}

void MainFrame::restore_layout() {
    ConfigList list;
    if (!list.load_config(kOptionsFileName))
        return;
    if (restore_geometry(list, layout_key::kMainWindow, *this) && !isMaximized())
        set_default_pane_sizes();
    restore_splitter(list, layout_key::kMainSplitter, *main_splitter_);
    restore_splitter(list, layout_key::kRightSplitter, *right_splitter_);
    if (restore_columns(list, layout_key::kListColumns, *list_view_))
        sender_width_ = list_view_->columnWidth(MessageListModel::kSender);
    restore_columns(list, layout_key::kConversationColumns, list_pane_->conversation_view());
    restore_sort(list, layout_key::kConversationSort, list_pane_->conversation_view());
    composer_size_ = kept_size(list, layout_key::kComposerSize).value_or(composer_size_);
}

void MainFrame::keep_layout(ConfigList& list) const {
    keep_geometry(list, layout_key::kMainWindow, *this);
    keep_splitter(list, layout_key::kMainSplitter, *main_splitter_);
    keep_splitter(list, layout_key::kRightSplitter, *right_splitter_);
    keep_columns(list, layout_key::kListColumns, *list_view_);
    keep_columns(list, layout_key::kConversationColumns, list_pane_->conversation_view());
    keep_sort(list, layout_key::kConversationSort, list_pane_->conversation_view());
    QSize composer = composer_size_;
    if (composer_)
        composer = composer_->size();
    keep_size(list, layout_key::kComposerSize, composer);
    if (contacts_window_)
        keep_size(list, layout_key::kContactsSize, contacts_window_->size());
    if (options_window_)
        keep_size(list, layout_key::kOptionsSize, options_window_->size());
}

void MainFrame::build_menus() {
    auto add = [this](QMenu* menu, const QString& text, const char* name, auto handler,
                      FrameKey key = FrameKey::None) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        show_frame_key(*action, key);
        connect(action, &QAction::triggered, this, guarded(handler));
        return action;
    };
    QMenu* file = menuBar()->addMenu(tr("&File"));
    add(file, tr("&Get SMSes"), "getSmsAction", &MainFrame::ask_for_get_sms, FrameKey::GetSms);
    add(file, tr("&Contacts"), "contactsAction", &MainFrame::show_contacts, FrameKey::Contacts);
    file->addSeparator();
    add(file, tr("&Import..."), "importAction", &MainFrame::import_backups);
    add(file, tr("Import &Folder..."), "importFolderAction", &MainFrame::import_folder);
    add(file, tr("&Restore to Phone..."), "restoreAction", &MainFrame::restore_to_phone);
    QMenu* export_menu = file->addMenu(tr("Export"));
    export_menu->setObjectName(QStringLiteral("exportMenu"));
    add(export_menu, tr("to CSV file"), "exportCsvAction", &MainFrame::export_csv);
    add(export_menu, tr("to XML file"), "exportXmlAction", &MainFrame::export_xml);
    export_menu->addSeparator();
    add(export_menu, tr("Android SMS backup..."), "exportAndroidAction",
        &MainFrame::export_android_boxes);
    add(export_menu, tr("Android SMS backup with Deleted Items..."), "exportAndroidAllAction",
        &MainFrame::export_android_all);
    add(export_menu, tr("Contacts as vCard..."), "exportVcardAction", &MainFrame::export_vcard);
    add(export_menu, tr("Conversation as PDF..."), "exportPdfAction",
        &MainFrame::export_conversation_pdf);
    export_menu->addSeparator();
    add(export_menu, tr("Archive..."), "exportArchiveAction", &MainFrame::export_archive);
    add(file, tr("&Print Conversation..."), "printAction", &MainFrame::print_conversation,
        FrameKey::Print);
    file->addSeparator();
    add(file, tr("Options"), "optionsAction", &MainFrame::show_options);
    file->addSeparator();
    add(file, tr("E&xit"), "exitAction", &QWidget::close, FrameKey::Quit);

    QMenu* sms = menuBar()->addMenu(tr("&Sms"));
    add(sms, tr("&New"), "newAction", &MainFrame::new_sms, FrameKey::NewSms);
    sms->addSeparator();
    add(sms, tr("&Reply"), "replyAction", &MainFrame::reply, FrameKey::Reply);
    add(sms, tr("&Forward"), "forwardAction", &MainFrame::forward, FrameKey::Forward);
    sms->addSeparator();
    add(sms, tr("&Mark read"), "markReadAction", &MainFrame::mark_read, FrameKey::MarkRead);
    add(sms, tr("Mark &unread"), "markUnreadAction", &MainFrame::mark_unread, FrameKey::MarkUnread);
    add(sms, tr("Select &All"), "selectAllAction", &MainFrame::select_all, FrameKey::SelectAll);
    sms->addSeparator();
    add(sms, tr("&Delete"), "deleteAction", &MainFrame::delete_messages, FrameKey::Delete);
    add(sms, tr("Delete only &on device"), "deleteOnDeviceAction",
        &MainFrame::delete_messages_on_device, FrameKey::DeleteOnDevice);
    add(sms, tr("Mo&ve to PC..."), "moveToPcAction", &MainFrame::move_to_pc);
    show_list_menu_keys();

    QMenu* view = menuBar()->addMenu(tr("&View"));
    QAction* toolbar = toolbar_->toggleViewAction();
    toolbar->setText(tr("&Toolbar"));
    toolbar->setObjectName(QStringLiteral("toolbarAction"));
    view->addAction(toolbar);
    view->addSeparator();
    const struct {
        const char* text;
        const char* name;
        Qt::Key key;
    } boxes[] = {{QT_TR_NOOP("&Inbox"), "viewInboxAction", Qt::Key_1},
                 {QT_TR_NOOP("Sent &Items"), "viewSentAction", Qt::Key_2},
                 {QT_TR_NOOP("&Deleted on device"), "viewDeletedAction", Qt::Key_3}};
    for (int kind = 0; kind < 3; ++kind) {
        QAction* action = view->addAction(tr(boxes[kind].text));
        action->setObjectName(QLatin1String(boxes[kind].name));
        action->setShortcut(QKeySequence(Qt::CTRL | boxes[kind].key));
        connect(action, &QAction::triggered, this,
                guarded([kind](MainFrame* frame) { frame->show_box(static_cast<BoxKind>(kind)); }));
    }
    QAction* conversations = view->addAction(tr("&Conversations"));
    conversations->setObjectName(QStringLiteral("viewConversationsAction"));
    conversations->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_4));
    connect(conversations, &QAction::triggered, this, guarded(&MainFrame::show_conversations));
    QAction* search = view->addAction(tr("S&earch"));
    search->setObjectName(QStringLiteral("searchAction"));
    search->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    connect(search, &QAction::triggered, list_pane_, &ListPane::focus_search);
    view->addSeparator();
    QAction* status = view->addAction(tr("&Status Bar"));
    status->setObjectName(QStringLiteral("statusBarAction"));
    status->setCheckable(true);
    status->setChecked(true);
    connect(status, &QAction::toggled, statusBar(), &QWidget::setVisible);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    add(help, tr("&Help"), "helpAction", &MainFrame::show_help, FrameKey::Help);
    add(help, tr("&About Quillet..."), "aboutAction", &MainFrame::show_about);
}

void MainFrame::show_list_menu_keys() {
    const struct {
        const char* name;
        FrameKey key;
    } entries[] = {
        {"menuForward", FrameKey::Forward},   {"menuReply", FrameKey::Reply},
        {"menuMarkRead", FrameKey::MarkRead}, {"menuMarkUnread", FrameKey::MarkUnread},
        {"menuDelete", FrameKey::Delete},     {"menuDeleteOnDevice", FrameKey::DeleteOnDevice}};
    for (const QMenu* menu : {list_view_->context_menu(), list_pane_->conversation_menu()}) {
        for (const auto& entry : entries) {
            if (auto* action = menu->findChild<QAction*>(QLatin1String(entry.name)))
                show_frame_key(*action, entry.key);
        }
    }
}

void MainFrame::build_toolbar() {
    toolbar_ = addToolBar(tr("Toolbar"));
    toolbar_->setObjectName(QStringLiteral("mainToolBar"));
    toolbar_->setIconSize(QSize(32, 32));
    toolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar_->setAllowedAreas(Qt::AllToolBarAreas);
    auto add = [this](ToolbarPicture picture, const QString& label, const QString& prompt,
                      const char* name, auto handler) {
        QAction* action = toolbar_->addAction(label);
        set_toolbar_picture(*action, picture, palette());
        action->setObjectName(QLatin1String(name));
        // The prompt as a tooltip only: as a status tip it would cover the
        // status pane, which says what the last command did.
        action->setToolTip(prompt);
        connect(action, &QAction::triggered, this, guarded(handler));
    };
    add(ToolbarPicture::GetSms, tr("Get SMS"), tr("Get new SMS messages"), "toolGetSms",
        &MainFrame::ask_for_get_sms);
    toolbar_->addSeparator();
    add(ToolbarPicture::NewSms, tr("New"), tr("Create new SMS message"), "toolNew",
        &MainFrame::new_sms);
    toolbar_->addSeparator();
    add(ToolbarPicture::Reply, tr("Reply"), tr("Reply"), "toolReply", &MainFrame::reply);
    add(ToolbarPicture::Forward, tr("Forward"), tr("Forward"), "toolForward", &MainFrame::forward);
    toolbar_->addSeparator();
    add(ToolbarPicture::Contacts, tr("Contacts"), tr("Contacts"), "toolContacts",
        &MainFrame::show_contacts);
}

void MainFrame::redraw_toolbar_pictures() {
    quillet::redraw_toolbar_pictures(toolbar_->actions(), palette());
}

void MainFrame::build_status_bar() {
    status_pane_ = new QLabel(tr("Ready"), this);
    status_pane_->setObjectName(QStringLiteral("statusPane"));
    status_pane_->setTextFormat(Qt::PlainText);
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

}  // namespace quillet

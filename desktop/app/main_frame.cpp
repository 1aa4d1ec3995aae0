#include "main_frame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QSplitter>

#include <QLineEdit>
#include "desktop/app/export_commands.h"
#include "desktop/app/frame_menus.h"
#include "desktop/app/tray_notice.h"
#include "desktop/composer/new_sms_window.h"
#include "desktop/library/importer.h"
#include "desktop/library/sync_copies.h"
#include "desktop/store/config_list.h"
#include "desktop/store/data_move.h"
#include "desktop/store/log_file.h"
#include "desktop/views/box_files.h"
#include "desktop/views/command_scope.h"
#include "desktop/views/contacts_window.h"
#include "desktop/views/engine_texts.h"
#include "desktop/views/gui_seams.h"
#include "desktop/views/help_window.h"
#include "desktop/views/html_form_view.h"
#include "desktop/views/import_command.h"
#include "desktop/views/import_history.h"
#include "desktop/views/list_pane.h"
#include "desktop/views/options_window.h"
#include "desktop/views/pictures.h"
#include "desktop/views/sms_list_view.h"
#include "desktop/views/sms_tree_view.h"
#include "desktop/views/status_panes.h"
#include "desktop/views/window_layout.h"
#include "protocol/text_codec.h"

namespace quillet {

namespace {

constexpr int kDefaultWidth = 980;
constexpr int kDefaultHeight = 700;
// Set once the window said the data folder lies in a sync folder.
constexpr std::string_view kSyncToldKey = "sync_folder_told";

}  // namespace

MainFrame::MainFrame(SmartphoneSmsConnect& link, QWidget* parent)
    : QMainWindow(parent), link_(link) {
    keep_painter_threads();
    setObjectName(QStringLiteral("mainFrame"));
    setWindowTitle(QStringLiteral("Quillet"));
    setWindowIcon(application_icon());
    resize(kDefaultWidth, kDefaultHeight);
    menus_ = std::make_unique<FrameMenus>(*this);
    status_ = std::make_unique<StatusPanes>(*this);
    box_files_ = std::make_unique<BoxFiles>(*this, library_, *status_);
    exports_ = std::make_unique<ExportCommands>(*this, library_, *status_);
    build_panes();
    wire_panes();
    wire_menus();
    new FrameKeys(*this, list_pane_->search_field(), [this](FrameKey key) {
        guarded([key](MainFrame* frame) { frame->run_frame_key(key); })();
    });
    // After the keys: its filter sees a key first, so a command the key runs
    // counts the arrivals from there.
    tray_ = new TrayNotice(*this, options_);
    wire_tray();
    restore_layout();
    CommandScope::set_after_command([this] { after_command(); });
}

MainFrame::~MainFrame() {
    CommandScope::set_after_command({});
    // Composers refer to Sent Items and the contacts window: they go first.
    for (const QPointer<NewSmsWindow>& composer : composers_)
        delete composer.data();
}

const SmsMessage& MainFrame::selected_message() const {
    return list_pane_->last_shown();
}

NewSmsWindow* MainFrame::composer() {
    return composer_.data();
}

QString MainFrame::status_text() const {
    return status_->text();
}

QToolBar& MainFrame::toolbar() {
    return menus_->toolbar();
}

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
}

void MainFrame::wire_panes() {
    connect(tree_view_, &SmsTreeView::boxChosen, this, [this](BoxKind kind) {
        guarded([kind](MainFrame* frame) { frame->show_box(kind); })();
    });
    connect(tree_view_, &SmsTreeView::conversationsChosen, this,
            guarded(&MainFrame::show_conversations));
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
    FrameMenus::show_keys_in(*list_view_->context_menu());
    FrameMenus::show_keys_in(*list_pane_->conversation_menu());
}

void MainFrame::wire_menus() {
    using Command = std::function<void(MainFrame*)>;
    const auto box = [](BoxKind kind) -> Command {
        return [kind](MainFrame* frame) { frame->show_box(kind); };
    };
    const std::pair<const char*, Command> commands[] = {
        {"getSmsAction", &MainFrame::on_button_get_sms},
        {"toolGetSms", &MainFrame::on_button_get_sms},
        {"contactsAction", &MainFrame::show_contacts},
        {"toolContacts", &MainFrame::show_contacts},
        {"importAction", [](MainFrame* frame) { frame->import_from(false); }},
        {"importFolderAction", [](MainFrame* frame) { frame->import_from(true); }},
        {"importsAction", &MainFrame::show_imports},
        {"restoreAction", &MainFrame::restore_to_phone},
        {"exportCsvAction", &MainFrame::export_csv},
        {"exportXmlAction", &MainFrame::export_xml},
        {"exportAndroidAction", [](MainFrame* frame) { frame->exports_->android(false); }},
        {"exportAndroidAllAction", [](MainFrame* frame) { frame->exports_->android(true); }},
        {"exportVcardAction", [](MainFrame* frame) { frame->exports_->vcard(); }},
        {"exportPdfAction",
         [](MainFrame* frame) { frame->exports_->conversation_pdf(frame->list_pane_->shown()); }},
        {"exportArchiveAction", [](MainFrame* frame) { frame->exports_->archive(); }},
        {"printAction", &MainFrame::print_conversation},
        {"optionsAction", &MainFrame::show_options},
        {"exitAction", &QWidget::close},
        {"newAction", &MainFrame::new_sms},
        {"toolNew", &MainFrame::new_sms},
        {"replyAction", &MainFrame::reply},
        {"toolReply", &MainFrame::reply},
        {"forwardAction", &MainFrame::forward},
        {"toolForward", &MainFrame::forward},
        {"markReadAction", &MainFrame::mark_read},
        {"markUnreadAction", &MainFrame::mark_unread},
        {"selectAllAction", &MainFrame::select_all},
        {"deleteAction", &MainFrame::delete_messages},
        {"deleteOnDeviceAction", &MainFrame::delete_messages_on_device},
        {"moveToPcAction", &MainFrame::move_to_pc},
        {"viewInboxAction", box(BoxKind::Inbox)},
        {"viewSentAction", box(BoxKind::SentItems)},
        {"viewDeletedAction", box(BoxKind::DeletedItems)},
        {"viewConversationsAction", &MainFrame::show_conversations},
        {"helpAction", &MainFrame::show_help},
        {"aboutAction", &MainFrame::show_about},
    };
    for (const auto& [name, command] : commands)
        connect(&menus_->action(name), &QAction::triggered, this, guarded(command));
    connect(&menus_->action("searchAction"), &QAction::triggered, list_pane_,
            &ListPane::focus_search);
}

void MainFrame::wire_tray() {
    connect(tray_, &TrayNotice::getSmsRequested, this, guarded(&MainFrame::on_button_get_sms));
    connect(tray_, &TrayNotice::quitRequested, this, guarded(&QWidget::close));
    connect(tray_, &TrayNotice::arrivedMessageWanted, this, &MainFrame::show_arrived_message);
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
    restore_columns(list, layout_key::kListColumns, *list_view_);
    restore_columns(list, layout_key::kConversationColumns, list_pane_->conversation_view());
    restore_sort(list, layout_key::kConversationSort, list_pane_->conversation_view());
    composer_size_ = kept_size(list, layout_key::kComposerSize).value_or(composer_size_);
    sync_told_ = list.get_int(kSyncToldKey) == 1;
}

void MainFrame::keep_layout(ConfigList& list) const {
    keep_geometry(list, layout_key::kMainWindow, *this);
    keep_splitter(list, layout_key::kMainSplitter, *main_splitter_);
    keep_splitter(list, layout_key::kRightSplitter, *right_splitter_);
    keep_columns(list, layout_key::kListColumns, *list_view_);
    keep_columns(list, layout_key::kConversationColumns, list_pane_->conversation_view());
    keep_sort(list, layout_key::kConversationSort, list_pane_->conversation_view());
    if (sync_told_)
        list.set_bool(kSyncToldKey, true);
    keep_size(list, layout_key::kComposerSize, composer_ ? composer_->size() : composer_size_);
    if (contacts_window_)
        keep_size(list, layout_key::kContactsSize, contacts_window_->size());
    if (options_window_)
        keep_size(list, layout_key::kOptionsSize, options_window_->size());
}

void MainFrame::start_up() {
    if (started_)
        return;
    started_ = true;
    // Before any data file is read: an earlier run's files may still be in
    // the program folder.
    const DataMoveReport moved = library_.open_user_folder();
    load_options(options_);
    program_log().open("logfile.txt");
    program_log().log_line("===\nQuillet! started");
    // Reading and listing the boxes leave the window system room to draw,
    // as every command does (memory_room.h).
    std::optional<MemoryReserve::Held> reserve(std::in_place);
    box_files_->load([this] { return shut_down_; });
    if (shut_down_)
        return;
    // An import a kill left half-done is taken out again.
    Importer(library_, nullptr).finish_interrupted();
    origins_.emplace(library_.folder());
    html_view_->set_origins(&*origins_);
    if (moved.outcome != DataMoveReport::Outcome::Nothing) {
        program_log().log_line(to_utf8(data_move_notice(moved)));
        status_->show(shown_data_move(moved));
    }
    create_side_windows();
    show_box(BoxKind::Inbox);
    reserve.reset();
    offer_sync_copies();
    list_pane_->index_ahead();
    link_.start_sentinel(tray_->arrival_callback());
    if (options_.minimize_on_open) {
        if (tray_->tray_wanted()) {
            tray_->hide_to_tray();
        } else {
            showMinimized();
        }
    }
    if (options_.sync_on_open)
        on_button_get_sms();
}

void MainFrame::offer_sync_copies() {
    // Told once per data folder (its options file travels with it).
    if (!sync_told_)
        sync_told_ = tell_sync_folder(this, library_.folder());
    // No copies, no command: a command's end saves, and a start that
    // changed nothing writes nothing.
    if (box_conflict_copies(library_.folder()).empty())
        return;
    const CommandScope command;
    const QString taken = offer_conflict_copies(this, library_, contacts_window_.get());
    if (taken.isEmpty())
        return;
    if (origins_)
        origins_->invalidate();
    status_->show(taken);
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
    tray_->set_contacts(contacts);
    exports_->set_contacts(contacts);
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
        failures << QStringLiteral("options.cfg: ") + QString::fromStdString(saved.file.what());
    }
    box_files_->save_last(failures);
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
    if (!shut_down_ && !close_without_asking_ &&
        (!drafts_may_go() || !box_files_->kept_or_let_go())) {
        event->ignore();
        return;
    }
    shut_down();
    event->accept();
    for (const QPointer<NewSmsWindow>& composer : composers_) {
        if (composer)
            composer->hide();
    }
    for (QWidget* side : {static_cast<QWidget*>(contacts_window_.get()),
                          static_cast<QWidget*>(options_window_.get()),
                          static_cast<QWidget*>(help_window_.get())}) {
        if (side != nullptr)
            side->hide();
    }
    tray_->window_closed();
    Q_EMIT closed();
}

void MainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        menus_->redraw_toolbar_pictures();
    if (event->type() == QEvent::WindowStateChange)
        tray_->window_state_changed();
}

void MainFrame::run_frame_key(FrameKey key) {
    const std::pair<FrameKey, std::function<void(MainFrame*)>> commands[] = {
        {FrameKey::SelectAll, &MainFrame::select_all},
        {FrameKey::Forward, &MainFrame::forward},
        {FrameKey::GetSms, &MainFrame::on_button_get_sms},
        {FrameKey::MarkRead, &MainFrame::mark_read},
        {FrameKey::NewSms, &MainFrame::new_sms},
        {FrameKey::Reply, &MainFrame::reply},
        {FrameKey::MarkUnread, &MainFrame::mark_unread},
        {FrameKey::DeleteOnDevice, &MainFrame::delete_messages_on_device},
        {FrameKey::Delete, &MainFrame::delete_messages},
        {FrameKey::Help, &MainFrame::show_help},
        {FrameKey::Contacts, &MainFrame::show_contacts},
        {FrameKey::Print, &MainFrame::print_conversation},
        {FrameKey::Quit, &QWidget::close},
    };
    for (const auto& [k, command] : commands) {
        if (k == key)
            command(this);
    }
}

}  // namespace quillet

#include "desktop/app/frame_menus.h"

#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

#include "desktop/app/key_table.h"
#include "desktop/views/pictures.h"

namespace quillet {
namespace {

QAction* add(QMenu* menu, const QString& text, const char* name, FrameKey key = FrameKey::None) {
    QAction* action = menu->addAction(text);
    action->setObjectName(QLatin1String(name));
    show_frame_key(*action, key);
    return action;
}

// A shortcut Qt matches, unlike the frame's keys.
QAction* add_with_shortcut(QMenu* menu, const QString& text, const char* name, Qt::Key key) {
    QAction* action = menu->addAction(text);
    action->setObjectName(QLatin1String(name));
    action->setShortcut(QKeySequence(Qt::CTRL | key));
    return action;
}

}  // namespace

FrameMenus::FrameMenus(QMainWindow& window) : window_(window) {
    build_toolbar();
    build_file_menu();
    build_sms_menu();
    build_view_menu();
    QMenu* help = window_.menuBar()->addMenu(tr("&Help"));
    add(help, tr("&Help"), "helpAction", FrameKey::Help);
    add(help, tr("&About Quillet..."), "aboutAction");
}

QAction& FrameMenus::action(const char* name) const {
    return *window_.findChild<QAction*>(QLatin1String(name));
}

void FrameMenus::build_file_menu() {
    QMenu* file = window_.menuBar()->addMenu(tr("&File"));
    add(file, tr("&Get SMSes"), "getSmsAction", FrameKey::GetSms);
    add(file, tr("&Contacts"), "contactsAction", FrameKey::Contacts);
    file->addSeparator();
    add(file, tr("&Import..."), "importAction");
    add(file, tr("Import &Folder..."), "importFolderAction");
    add(file, tr("Import&s..."), "importsAction");
    add(file, tr("&Restore to Phone..."), "restoreAction");
    QMenu* export_menu = file->addMenu(tr("Export"));
    export_menu->setObjectName(QStringLiteral("exportMenu"));
    add(export_menu, tr("to CSV file"), "exportCsvAction");
    add(export_menu, tr("to XML file"), "exportXmlAction");
    export_menu->addSeparator();
    add(export_menu, tr("Android SMS backup..."), "exportAndroidAction");
    add(export_menu, tr("Android SMS backup with Deleted Items..."), "exportAndroidAllAction");
    add(export_menu, tr("Contacts as vCard..."), "exportVcardAction");
    add(export_menu, tr("Conversation as PDF..."), "exportPdfAction");
    export_menu->addSeparator();
    add(export_menu, tr("Archive..."), "exportArchiveAction");
    add(file, tr("&Print Conversation..."), "printAction", FrameKey::Print);
    file->addSeparator();
    add(file, tr("Options"), "optionsAction");
    file->addSeparator();
    add(file, tr("E&xit"), "exitAction", FrameKey::Quit);
}

void FrameMenus::build_sms_menu() {
    QMenu* sms = window_.menuBar()->addMenu(tr("&Sms"));
    add(sms, tr("&New"), "newAction", FrameKey::NewSms);
    sms->addSeparator();
    add(sms, tr("&Reply"), "replyAction", FrameKey::Reply);
    add(sms, tr("&Forward"), "forwardAction", FrameKey::Forward);
    sms->addSeparator();
    add(sms, tr("&Mark read"), "markReadAction", FrameKey::MarkRead);
    add(sms, tr("Mark &unread"), "markUnreadAction", FrameKey::MarkUnread);
    add(sms, tr("Select &All"), "selectAllAction", FrameKey::SelectAll);
    sms->addSeparator();
    add(sms, tr("&Delete"), "deleteAction", FrameKey::Delete);
    add(sms, tr("Delete only &on device"), "deleteOnDeviceAction", FrameKey::DeleteOnDevice);
    add(sms, tr("Mo&ve to PC..."), "moveToPcAction");
}

void FrameMenus::build_view_menu() {
    QMenu* view = window_.menuBar()->addMenu(tr("&View"));
    QAction* toolbar = toolbar_->toggleViewAction();
    toolbar->setText(tr("&Toolbar"));
    toolbar->setObjectName(QStringLiteral("toolbarAction"));
    view->addAction(toolbar);
    view->addSeparator();
    add_with_shortcut(view, tr("&Inbox"), "viewInboxAction", Qt::Key_1);
    add_with_shortcut(view, tr("Sent &Items"), "viewSentAction", Qt::Key_2);
    add_with_shortcut(view, tr("&Deleted on device"), "viewDeletedAction", Qt::Key_3);
    add_with_shortcut(view, tr("&Conversations"), "viewConversationsAction", Qt::Key_4);
    add_with_shortcut(view, tr("S&earch"), "searchAction", Qt::Key_E);
    view->addSeparator();
    QAction* status = view->addAction(tr("&Status Bar"));
    status->setObjectName(QStringLiteral("statusBarAction"));
    status->setCheckable(true);
    status->setChecked(true);
    QObject::connect(status, &QAction::toggled, window_.statusBar(), &QWidget::setVisible);
}

void FrameMenus::show_keys_in(const QMenu& menu) {
    const struct {
        const char* name;
        FrameKey key;
    } entries[] = {
        {"menuForward", FrameKey::Forward},   {"menuReply", FrameKey::Reply},
        {"menuMarkRead", FrameKey::MarkRead}, {"menuMarkUnread", FrameKey::MarkUnread},
        {"menuDelete", FrameKey::Delete},     {"menuDeleteOnDevice", FrameKey::DeleteOnDevice}};
    for (const auto& entry : entries) {
        if (auto* action = menu.findChild<QAction*>(QLatin1String(entry.name)))
            show_frame_key(*action, entry.key);
    }
}

void FrameMenus::build_toolbar() {
    toolbar_ = window_.addToolBar(tr("Toolbar"));
    toolbar_->setObjectName(QStringLiteral("mainToolBar"));
    toolbar_->setIconSize(QSize(32, 32));
    toolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar_->setAllowedAreas(Qt::AllToolBarAreas);
    auto add_tool = [this](ToolbarPicture picture, const QString& label, const QString& prompt,
                           const char* name) {
        QAction* action = toolbar_->addAction(label);
        set_toolbar_picture(*action, picture, window_.palette());
        action->setObjectName(QLatin1String(name));
        // The prompt as a tooltip only: as a status tip it would cover the
        // status pane, which says what the last command did.
        action->setToolTip(prompt);
    };
    add_tool(ToolbarPicture::GetSms, tr("Get SMS"), tr("Get new SMS messages"), "toolGetSms");
    toolbar_->addSeparator();
    add_tool(ToolbarPicture::NewSms, tr("New"), tr("Create new SMS message"), "toolNew");
    toolbar_->addSeparator();
    add_tool(ToolbarPicture::Reply, tr("Reply"), tr("Reply"), "toolReply");
    add_tool(ToolbarPicture::Forward, tr("Forward"), tr("Forward"), "toolForward");
    toolbar_->addSeparator();
    add_tool(ToolbarPicture::Contacts, tr("Contacts"), tr("Contacts"), "toolContacts");
}

void FrameMenus::redraw_toolbar_pictures() {
    quillet::redraw_toolbar_pictures(toolbar_->actions(), window_.palette());
}

}  // namespace quillet

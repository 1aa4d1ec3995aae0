#include "desktop/views/contacts_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

#include "desktop/views/command_scope.h"
#include "desktop/views/contacts_list_view.h"
#include "desktop/views/engine_texts.h"
#include "desktop/views/gui_seams.h"
#include "desktop/views/pictures.h"
#include "desktop/views/window_parts.h"

namespace quillet {
namespace {

// Tells the user when "contacts.sql" was there but not read whole.
void report_contacts_file(QWidget* parent, const LoadContactsResult& loaded) {
    const QString detail = QString::fromStdString(loaded.outcome.what());
    if (loaded.status == LoadContactsResult::Status::Unreadable) {
        show_message_box(parent, ContactsWindow::tr("The contacts file could not be read; the "
                                                    "list starts empty.\nDetails:\n%1")
                                     .arg(detail));
    }
    if (loaded.status != LoadContactsResult::Status::Damaged)
        return;
    const QString kept = loaded.kept_aside.empty()
                             ? ContactsWindow::tr("No copy of the file as found could be kept.")
                             : ContactsWindow::tr("The file as found was kept as %1.")
                                   .arg(QString::fromStdString(loaded.kept_aside.string()));
    show_message_box(parent, ContactsWindow::tr("The contacts file is damaged: %1 contacts could "
                                                "be read.\nDetails:\n%2\n%3")
                                 .arg(loaded.records)
                                 .arg(detail, kept));
}

}  // namespace

ContactsWindow::ContactsWindow(DeviceOperations& phone, QWidget* parent)
    : QMainWindow(parent), phone_(phone) {
    setObjectName(QStringLiteral("contactsWindow"));
    setWindowTitle(tr("Contacts"));
    const LoadContactsResult loaded = contacts_.load_contacts(kContactsFileName);
    list_ = new ContactsListView(contacts_, this);
    setCentralWidget(list_);
    build_bars();
    show_add_button(false);
    connect(list_, &ContactsListView::addRequested, this, &ContactsWindow::add_selected);
    report_contacts_file(this, loaded);
    // Names elsewhere are shown in the order this list shows them.
    contacts_.set_name_order(list_->name_order());
    connect(list_, &ContactsListView::nameOrderChanged, this, [this] {
        contacts_.set_name_order(list_->name_order());
        Q_EMIT contactsChanged();
    });
}

ContactsWindow::~ContactsWindow() = default;

void ContactsWindow::build_bars() {
    toolbar_ = addToolBar(tr("Contacts"));
    toolbar_->setObjectName(QStringLiteral("contactsToolBar"));
    toolbar_->setMovable(false);
    toolbar_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

    auto* get_action = toolbar_->addAction(tr("Get Contacts from SIM"));
    set_toolbar_picture(*get_action, ToolbarPicture::GetContacts, palette());
    get_action->setObjectName(QStringLiteral("getContactsAction"));
    get_action->setStatusTip(tr("Get Contacts from SIM"));
    get_action->setToolTip(tr("Get Contacts from SIM"));
    connect(get_action, &QAction::triggered, this, &ContactsWindow::import_from_phone);
    toolbar_->addSeparator();
    add_action_ = toolbar_->addAction(tr("Add Contact"));
    set_toolbar_picture(*add_action_, ToolbarPicture::AddRecipient, palette());
    add_action_->setObjectName(QStringLiteral("addContactAction"));
    add_action_->setStatusTip(tr("Add Contact"));
    add_action_->setToolTip(tr("Add Contact"));
    connect(add_action_, &QAction::triggered, this, &ContactsWindow::add_selected);

    auto* menu = menuBar()->addMenu(tr("Contacts"));
    auto* import_action = menu->addAction(tr("Import from phone"));
    import_action->setObjectName(QStringLiteral("importAction"));
    connect(import_action, &QAction::triggered, this, &ContactsWindow::import_from_phone);

    status_pane_ = add_status_panes(this);
}

void ContactsWindow::show_add_button(bool shown) {
    add_action_->setVisible(shown);
    add_action_->setEnabled(shown);
}

void ContactsWindow::show_for(RecipientSink* target) {
    target_ = target;
    show_add_button(target != nullptr);
    show();
    raise();
    activateWindow();
}

void ContactsWindow::forget_target(RecipientSink* target) {
    if (target == nullptr || target != target_)
        return;
    target_ = nullptr;
    show_add_button(false);
}

void ContactsWindow::import_from_phone() {
    QString outcome = tr("Contact list Updated");
    {
        const CommandScope command;
        show_status(tr("Retrieving contacts..."));
        const ImportContactsResult result = contacts_.import_contacts(phone_, this);
        if (result.status != ImportContactsResult::Status::Imported)
            show_message_box(this, shown_contacts_import(result));
        if (result.status == ImportContactsResult::Status::LinkFailed)
            outcome = tr("Contact list not updated: the phone could not be reached.");
        if (result.status == ImportContactsResult::Status::NoContacts)
            outcome = tr("Contact list Updated: the phone has no contacts.");
        if (result.status != ImportContactsResult::Status::LinkFailed) {
            const Outcome saved = contacts_.save_contacts(kContactsFileName);
            if (!saved) {
                show_message_box(this, tr("Could not save the contacts file.\nDetails:\n") +
                                           QString::fromStdString(saved.what()));
                outcome = tr("Contact list Updated, but not saved.");
            }
        }
        refill();
    }
    show_status(outcome);
    Q_EMIT contactsChanged();
}

void ContactsWindow::add_selected() {
    if (target_ == nullptr)
        return;
    for (int row : list_->selected_rows()) {
        target_->add_recipient(list_->contact_of_row(row));
        list_->deselect_row(row);
    }
}

void ContactsWindow::refill() {
    list_->refill();
}

void ContactsWindow::report(const EngineStatus& status) {
    show_status(shown_status(status));
}

void ContactsWindow::set_status_text(std::u16string_view text) {
    show_status(to_qstring(text));
}

void ContactsWindow::show_status(const QString& text) {
    status_pane_->setText(text);
    // The link reports from inside a fetch that blocks the event loop.
    status_pane_->repaint();
}

void ContactsWindow::set_progress(int) {}

void ContactsWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    hide();
}

void ContactsWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && toolbar_ != nullptr)
        redraw_toolbar_pictures(toolbar_->actions(), palette());
}

void ContactsWindow::contacts_added() {
    refill();
    Q_EMIT contactsChanged();
}

}  // namespace quillet

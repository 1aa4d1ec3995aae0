#include "desktop/views/contacts_list_view.h"

#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <algorithm>

#include "desktop/store/config_list.h"
#include "desktop/store/options.h"
#include "desktop/views/gui_seams.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace {

constexpr std::string_view kSortKey = "contacts_sort";
constexpr int kNameWidth = 180;
constexpr int kNumberWidth = 100;

void report_unsaved_settings(QWidget* parent, const Outcome& result) {
    if (result)
        return;
    show_message_box(parent, ContactsListView::tr("Could not save the settings.\nDetails:\n") +
                                 QString::fromStdString(result.what()));
}

}  // namespace

ContactsListView::ContactsListView(const ContactList& contacts, QWidget* parent)
    : FlatListView(parent), model_(contacts) {
    setObjectName(QStringLiteral("contactsList"));
    setModel(&model_);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->setSectionsClickable(true);
    header()->setSectionsMovable(false);
    header()->resizeSection(ContactsModel::NameColumn, kNameWidth);
    header()->resizeSection(ContactsModel::NumberColumn, kNumberWidth);

    connect(header(), &QHeaderView::sectionClicked, this, [this](int) { toggle_name_order(); });

    load_name_order();
    refill();
}

void ContactsListView::load_name_order() {
    ConfigList config;
    config.load_config(kOptionsFileName);
    if (config.find(kSortKey)) {
        order_ = config.get_int(kSortKey) == 0 ? NameOrder::BeforeCommaFirst
                                               : NameOrder::AfterCommaFirst;
        return;
    }
    order_ = NameOrder::BeforeCommaFirst;
    report_unsaved_settings(this, update_config(kOptionsFileName, [](ConfigList& file) {
                                file.set_bool(kSortKey, false);
                            }));
}

void ContactsListView::store_name_order() {
    // Read the file afresh: the options window may have written it since.
    const bool after_comma = order_ == NameOrder::AfterCommaFirst;
    report_unsaved_settings(this, update_config(kOptionsFileName, [&](ConfigList& file) {
                                file.set_bool(kSortKey, after_comma);
                            }));
}

void ContactsListView::toggle_name_order() {
    order_ = order_ == NameOrder::BeforeCommaFirst ? NameOrder::AfterCommaFirst
                                                   : NameOrder::BeforeCommaFirst;
    store_name_order();
    refill();
    Q_EMIT nameOrderChanged();
}

void ContactsListView::refill() {
    model_.refill(order_);
    widen_to_contents();
}

// The columns start at their set widths and grow when a text would not fit.
void ContactsListView::widen_to_contents() {
    for (int column = 0; column < ContactsModel::ColumnCount; ++column) {
        const int needed = sizeHintForColumn(column);
        if (needed > header()->sectionSize(column))
            header()->resizeSection(column, needed);
    }
}

std::vector<int> ContactsListView::selected_rows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

Contact ContactsListView::contact_of_row(int row) const {
    return make_contact(to_ansi_field(model_.shown_name(row).toStdU16String()),
                        to_ansi_field(model_.number(row).toStdU16String()));
}

void ContactsListView::deselect_row(int row) {
    selectionModel()->select(model_.index(row, 0),
                             QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
}

void ContactsListView::mousePressEvent(QMouseEvent* event) {
    // The second press of a double click must not overwrite what the first
    // one saw.
    const quint64 interval = static_cast<quint64>(QApplication::doubleClickInterval());
    if (last_press_time_ == 0 || event->timestamp() - last_press_time_ > interval)
        selection_before_click_ = selectionModel()->selectedRows();
    last_press_time_ = event->timestamp();
    FlatListView::mousePressEvent(event);
}

void ContactsListView::mouseDoubleClickEvent(QMouseEvent* event) {
    const QModelIndex clicked = indexAt(event->position().toPoint());
    FlatListView::mouseDoubleClickEvent(event);
    if (!clicked.isValid() || event->button() != Qt::LeftButton)
        return;
    const QModelIndex row = clicked.siblingAtColumn(ContactsModel::NameColumn);
    if (selection_before_click_.contains(row)) {
        for (const QModelIndex& index : selection_before_click_)
            selectionModel()->select(index,
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    Q_EMIT addRequested();
}

}  // namespace quillet

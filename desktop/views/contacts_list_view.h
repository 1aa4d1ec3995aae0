// The contacts window's list: columns "Name" and "Number" at their classic
// widths, each widened when a text needs more; whole rows selected, several
// at a time. A click on either column header switches the name order, which is kept as
// "contacts_sort" in "options.cfg". A double click on a selected row asks for all the selected rows
// to be added to the composer that opened the window (a double click elsewhere, for the row
// clicked).
//
// objectName "contactsList".
#pragma once

#include <vector>

#include "desktop/store/contact_list.h"
#include "desktop/views/contacts_model.h"
#include "desktop/views/flat_list_view.h"

namespace quillet {

class ContactsListView : public FlatListView {
    Q_OBJECT

  public:
    // Reads "contacts_sort" from "options.cfg" (writing 0 when the key is
    // absent) and shows `contacts`, which must outlive the view.
    explicit ContactsListView(const ContactList& contacts, QWidget* parent = nullptr);

    NameOrder name_order() const { return order_; }
    // Switches the name order, stores it in "options.cfg" (the file's other
    // entries are written back unchanged) and refills.
    void toggle_name_order();
    // Rebuilds the rows from the contact list.
    void refill();

    // The selected rows, top to bottom.
    std::vector<int> selected_rows() const;
    // The contact a row shows: its shown name and number as 8-bit text, each
    // cut to fit its 32-byte field.
    Contact contact_of_row(int row) const;
    void deselect_row(int row);

    ContactsModel& contacts_model() { return model_; }

  Q_SIGNALS:
    void addRequested();
    // toggle_name_order switched the order.
    void nameOrderChanged();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    void load_name_order();
    void widen_to_contents();
    void store_name_order();

    ContactsModel model_;
    NameOrder order_ = NameOrder::BeforeCommaFirst;
    // The selection before the first click of a double click, which that
    // click narrows to the clicked row.
    QModelIndexList selection_before_click_;
    quint64 last_press_time_ = 0;
};

}  // namespace quillet

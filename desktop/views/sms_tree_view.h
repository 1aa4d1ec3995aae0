// The box tree of the main window (objectName "boxTree"): three root nodes,
// "Inbox", "Sent Items" and "Deleted on device", whose item data (Qt::UserRole)
// is the box kind 0, 1 or 2. The current node changed by the mouse or the
// keyboard asks for that box to be shown.
#pragma once

#include <QTreeWidget>

#include "desktop/store/device_operations.h"

namespace quillet {

class SmsTreeView : public QTreeWidget {
    Q_OBJECT

  public:
    explicit SmsTreeView(QWidget* parent = nullptr);

    // The node of a box kind.
    QTreeWidgetItem* node(BoxKind kind) const;
    // Selects a box's node without asking for the box (the main window shows
    // the Inbox at start-up).
    void select_quietly(BoxKind kind);

  Q_SIGNALS:
    void boxChosen(quillet::BoxKind kind);

  private:
    void on_current_changed(QTreeWidgetItem* current);
};

}  // namespace quillet

// The box tree of the main window (objectName "boxTree"): four root nodes,
// "Inbox", "Sent Items", "Deleted on device" and "Conversations", whose item
// data (Qt::UserRole) is the box kind 0, 1 or 2, or kConversationsNode. The
// current node changed by the mouse or the keyboard asks for that box (or
// the conversations) to be shown.
#pragma once

#include <QTreeWidget>

#include "desktop/store/device_operations.h"

namespace quillet {

class SmsTreeView : public QTreeWidget {
    Q_OBJECT

  public:
    static constexpr int kConversationsNode = 3;

    explicit SmsTreeView(QWidget* parent = nullptr);

    // The node of a box kind.
    QTreeWidgetItem* node(BoxKind kind) const;
    QTreeWidgetItem* conversations_node() const { return topLevelItem(kConversationsNode); }
    // Selects a box's node without asking for the box (the main window shows
    // the Inbox at start-up).
    void select_quietly(BoxKind kind);
    void select_conversations_quietly();

  Q_SIGNALS:
    void boxChosen(quillet::BoxKind kind);
    // The fourth node was chosen.
    void conversationsChosen();

  private:
    void on_current_changed(QTreeWidgetItem* current);
};

}  // namespace quillet

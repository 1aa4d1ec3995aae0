#include "sms_tree_view.h"

#include <QHeaderView>
#include <QSignalBlocker>

namespace quillet {

SmsTreeView::SmsTreeView(QWidget* parent) : QTreeWidget(parent) {
    setObjectName(QStringLiteral("boxTree"));
    setColumnCount(1);
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    const QString labels[] = {tr("Inbox"), tr("Sent Items"), tr("Deleted on device"),
                              tr("Conversations")};
    for (int kind = 0; kind <= kConversationsNode; ++kind) {
        auto* item = new QTreeWidgetItem(this, QStringList{labels[kind]});
        item->setData(0, Qt::UserRole, kind);
    }
    connect(this, &QTreeWidget::currentItemChanged, this, &SmsTreeView::on_current_changed);
}

void SmsTreeView::on_current_changed(QTreeWidgetItem* current) {
    if (current == nullptr)
        return;
    bool ok = false;
    const int kind = current->data(0, Qt::UserRole).toInt(&ok);
    if (ok && kind >= 0 && kind <= 2)
        Q_EMIT boxChosen(static_cast<BoxKind>(kind));
    else if (ok && kind == kConversationsNode)
        Q_EMIT conversationsChosen();
}

QTreeWidgetItem* SmsTreeView::node(BoxKind kind) const {
    return topLevelItem(static_cast<int>(kind));
}

void SmsTreeView::select_quietly(BoxKind kind) {
    const QSignalBlocker blocker(this);
    setCurrentItem(node(kind));
}

}  // namespace quillet

namespace quillet {

void SmsTreeView::select_conversations_quietly() {
    const QSignalBlocker blocker(this);
    setCurrentItem(conversations_node());
}

}  // namespace quillet

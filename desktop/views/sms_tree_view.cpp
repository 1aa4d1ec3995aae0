#include "sms_tree_view.h"

#include <QHeaderView>
#include <QMouseEvent>
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
    const QString labels[] = {QStringLiteral("Inbox"), QStringLiteral("Sent Items"),
                              QStringLiteral("Deleted on device")};
    for (int kind = 0; kind < 3; ++kind) {
        auto* item = new QTreeWidgetItem(this, QStringList{labels[kind]});
        item->setData(0, Qt::UserRole, kind);
    }
}

QTreeWidgetItem* SmsTreeView::node(BoxKind kind) const {
    return topLevelItem(static_cast<int>(kind));
}

void SmsTreeView::select_quietly(BoxKind kind) {
    const QSignalBlocker blocker(this);
    setCurrentItem(node(kind));
}

void SmsTreeView::mousePressEvent(QMouseEvent* event) {
    const QTreeWidgetItem* before = currentItem();
    QTreeWidget::mousePressEvent(event);
    const QTreeWidgetItem* after = currentItem();
    if (after == nullptr || after == before)
        return;
    bool ok = false;
    const int kind = after->data(0, Qt::UserRole).toInt(&ok);
    if (ok && kind >= 0 && kind <= 2)
        Q_EMIT boxChosen(kind);
}

}  // namespace quillet

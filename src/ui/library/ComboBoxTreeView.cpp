#include "ui/library/ComboBoxTreeView.h"

#include <QCursor>
#include <QTreeView>

ComboBoxTreeView::ComboBoxTreeView(QWidget* parent) : QComboBox(parent) {}

void ComboBoxTreeView::SetTreeView(QTreeView* view)
{
    treeView = view;
    setView(view);
}

void ComboBoxTreeView::showPopup()
{
    if (treeView) {
        treeView->expandAll();
    }
    remembered = QPersistentModelIndex();
    QComboBox::showPopup();
}

void ComboBoxTreeView::hidePopup()
{
    if (treeView && remembered.isValid()) {
        const QRect frame(treeView->mapToGlobal(QPoint(0, 0)), treeView->size());
        if (frame.contains(QCursor::pos()) && treeView->currentIndex() == remembered) {
            remembered = QPersistentModelIndex();
            return;
        }
    }
    remembered = QPersistentModelIndex();
    QComboBox::hidePopup();
}

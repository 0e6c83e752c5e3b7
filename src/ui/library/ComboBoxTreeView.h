#pragma once

#include <QComboBox>
#include <QPersistentModelIndex>

class QTreeView;

// A combo box whose popup is a category tree (the upload dialog picks its category with it).
// A press that only expands a branch does not close the popup: the owner records the pressed
// index with RememberIndex, and a close request while the pointer is in the tree and the
// current index is still that one is refused.
class ComboBoxTreeView : public QComboBox
{
    Q_OBJECT

public:
    explicit ComboBoxTreeView(QWidget* parent = nullptr);

    void SetTreeView(QTreeView* view);
    QTreeView* TreeView() const { return treeView; }
    void RememberIndex(const QModelIndex& index) { remembered = index; }
    QModelIndex RememberedIndex() const { return remembered; }

    void showPopup() override;
    void hidePopup() override;

private:
    QTreeView* treeView = nullptr;
    QPersistentModelIndex remembered;
};

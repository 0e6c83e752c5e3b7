#pragma once

#include <QTreeView>

class AccountManager;
class CategoryTreeModel;

// The category tree of the library page and of the selection dialog: a context menu to add a
// sub-category, move or rename a category (each by permission), in-place renaming, horizontal
// scrolling with Shift + wheel, and an optional arrow zone that toggles a branch. A view made by
// a generated form gets its services through SetServices before it is used; until then it has
// neither menu nor in-place renaming.
class CategoryTreeView : public QTreeView
{
    Q_OBJECT

public:
    explicit CategoryTreeView(QWidget* parent = nullptr);
    CategoryTreeView(AccountManager& accounts, CategoryTreeModel& categories,
                     QWidget* parent = nullptr);

    // The permissions for the menu, and the model that adds and renames categories.
    void SetServices(AccountManager& accounts, CategoryTreeModel& categories);

    void SetPressSelects(bool on) { pressSelects = on; }
    void SetArrowZoneToggles(bool on) { arrowZoneToggles = on; }
    // False for the tree inside the selection dialog, which has no menu.
    void SetContextMenuEnabled(bool on) { contextMenuEnabled = on; }

    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

    // The context menu the view would open over index (for tests and the demo).
    QMenu* CreateItemMenu(const QModelIndex& index);

signals:
    // Moving a category: the owner opens the selection dialog (which itself holds a tree view).
    void SignalMoveCategoryRequested(qulonglong cateId);

public slots:
    void SlotAddCategory(const QModelIndex& index);
    void SlotAddCategory();
    void SlotMoveCategory(const QModelIndex& index);
    void SlotMoveCategory();
    void SlotRenameCategory(const QModelIndex& index);
    void SlotRenameCategory();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void SetInFocus(bool on);
    void ScrollTextIntoView(const QModelIndex& index);

    AccountManager* accounts = nullptr;
    CategoryTreeModel* categories = nullptr;
    bool pressSelects = true;
    bool arrowZoneToggles = false;
    bool contextMenuEnabled = true;
};

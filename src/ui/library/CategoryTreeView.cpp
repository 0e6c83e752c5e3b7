#include "ui/library/CategoryTreeView.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QScrollBar>
#include <QVariant>

#include "account/AccountManager.h"
#include "models/CategoryTreeModel.h"
#include "ui/common/StyleSheet.h"
#include "ui/library/AddCategoryDialog.h"
#include "ui/library/TreeViewDelegate.h"

namespace {

constexpr int kCateIdRole = int(CategoryTreeModel::DataRole::CateId);

bool IsTopCategory(const QModelIndex& index)
{
    return index.isValid() && !index.parent().isValid();
}

}  // namespace

CategoryTreeView::CategoryTreeView(AccountManager& accounts, CategoryTreeModel& categories,
                                   QWidget* parent)
    : CategoryTreeView(parent)
{
    SetServices(accounts, categories);
}

CategoryTreeView::CategoryTreeView(QWidget* parent) : QTreeView(parent)
{
    setFont(QApplication::font());
    setStyleSheet(StyleSheet::Load(QStringLiteral("CategoryTreeView.qss")));
    setAnimated(true);
    setTextElideMode(Qt::ElideNone);
    setWordWrap(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHeaderHidden(true);
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    setExpandsOnDoubleClick(false);
    // Every row is one line: the layout of a 10,000-category tree need not measure each row.
    setUniformRowHeights(true);
    setProperty("in_focus", false);
    connect(this, &QTreeView::clicked, this, &CategoryTreeView::ScrollTextIntoView);
}

void CategoryTreeView::SetServices(AccountManager& accounts, CategoryTreeModel& categories)
{
    this->accounts = &accounts;
    this->categories = &categories;
    QAbstractItemDelegate* old = itemDelegate();
    setItemDelegate(new TreeViewDelegate(categories, this));
    delete old;
}

void CategoryTreeView::SetInFocus(bool on)
{
    setProperty("in_focus", on);
    style()->unpolish(this);
    style()->polish(this);
}

void CategoryTreeView::focusInEvent(QFocusEvent* event)
{
    SetInFocus(true);
    QTreeView::focusInEvent(event);
}

void CategoryTreeView::focusOutEvent(QFocusEvent* event)
{
    SetInFocus(false);
    QTreeView::focusOutEvent(event);
}

void CategoryTreeView::resizeEvent(QResizeEvent* event)
{
    QTreeView::resizeEvent(event);
    header()->setMinimumSectionSize(viewport()->width());
}

void CategoryTreeView::wheelEvent(QWheelEvent* event)
{
    if (event->modifiers() & Qt::ShiftModifier) {
        QScrollBar* bar = horizontalScrollBar();
        const int delta =
            event->angleDelta().y() != 0 ? event->angleDelta().y() : event->angleDelta().x();
        bar->setValue(bar->value() - delta / 2);
        event->accept();
        return;
    }
    QTreeView::wheelEvent(event);
}

void CategoryTreeView::mousePressEvent(QMouseEvent* event)
{
    if (arrowZoneToggles) {
        const QModelIndex index = indexAt(event->pos());
        if (index.isValid()) {
            const QRect item = visualRect(index);
            const QRect zone(item.left() - 16, item.top(), 20, item.height());
            if (zone.contains(event->pos())) {
                setExpanded(index, !isExpanded(index));
                event->accept();
                return;
            }
        }
    }
    if (!pressSelects) {
        event->accept();
        return;
    }
    QTreeView::mousePressEvent(event);
}

void CategoryTreeView::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    QTreeView::scrollTo(index, hint);
    ScrollTextIntoView(index);
}

void CategoryTreeView::ScrollTextIntoView(const QModelIndex& index)
{
    if (!index.isValid()) {
        return;
    }
    int depth = 0;
    for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent()) {
        ++depth;
    }
    horizontalScrollBar()->setValue(depth * indentation());
}

QMenu* CategoryTreeView::CreateItemMenu(const QModelIndex& index)
{
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("cateItemMenu"));
    menu->setWindowFlag(Qt::NoDropShadowWindowHint);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QPersistentModelIndex target(index);
    auto allowed = [this](AccountManager::Permission permission) {
        return accounts && accounts->HasPermission(permission);
    };
    QAction* add = menu->addAction(tr("CategoryTreeView.AddSubCategory"), this,
                                   [this, target] { SlotAddCategory(target); });
    add->setObjectName(QStringLiteral("addSubCategoryAction"));
    add->setEnabled(allowed(AccountManager::CateAdd));
    QAction* move = menu->addAction(tr("CategoryTreeView.MoveCategory"), this,
                                    [this, target] { SlotMoveCategory(target); });
    move->setObjectName(QStringLiteral("moveCategoryAction"));
    move->setEnabled(!IsTopCategory(index) && allowed(AccountManager::CateMove));
    QAction* rename = menu->addAction(tr("CategoryTreeView.RenameCategory"), this,
                                      [this, target] { SlotRenameCategory(target); });
    rename->setObjectName(QStringLiteral("renameCategoryAction"));
    rename->setEnabled(!IsTopCategory(index) && allowed(AccountManager::CateRename));
    return menu;
}

void CategoryTreeView::contextMenuEvent(QContextMenuEvent* event)
{
    const QModelIndex index = indexAt(event->pos());
    if (!contextMenuEnabled || !accounts || !index.isValid()) {
        return;
    }
    CreateItemMenu(index)->popup(event->globalPos());
}

void CategoryTreeView::SlotAddCategory(const QModelIndex& index)
{
    if (!categories || !index.isValid()) {
        return;
    }
    AddCategoryDialog dialog(*categories, index.data(kCateIdRole).toULongLong(), this);
    dialog.exec();
}

void CategoryTreeView::SlotAddCategory()
{
    SlotAddCategory(currentIndex());
}

void CategoryTreeView::SlotMoveCategory(const QModelIndex& index)
{
    if (!index.isValid()) {
        return;
    }
    emit SignalMoveCategoryRequested(index.data(kCateIdRole).toULongLong());
}

void CategoryTreeView::SlotMoveCategory()
{
    SlotMoveCategory(currentIndex());
}

void CategoryTreeView::SlotRenameCategory(const QModelIndex& index)
{
    if (!index.isValid()) {
        return;
    }
    setCurrentIndex(index);
    edit(index);
}

void CategoryTreeView::SlotRenameCategory()
{
    SlotRenameCategory(currentIndex());
}

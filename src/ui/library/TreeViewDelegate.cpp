#include "ui/library/TreeViewDelegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDebug>
#include <QLineEdit>

#include "models/CategoryTreeModel.h"

TreeViewDelegate::TreeViewDelegate(CategoryTreeModel& categories, QObject* parent)
    : QStyledItemDelegate(parent), categories(categories)
{
}

void TreeViewDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    opt.state &= ~QStyle::State_HasFocus;
    QStyledItemDelegate::paint(painter, opt, index);
}

QWidget* TreeViewDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                        const QModelIndex&) const
{
    auto* editor = new QLineEdit(parent);
    editor->setObjectName(QStringLiteral("treeViewEditor"));
    editor->setMaxLength(kMaxNameLength);
    return editor;
}

void TreeViewDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        line->setText(index.data(Qt::EditRole).toString());
    }
}

void TreeViewDelegate::setModelData(QWidget* editor, QAbstractItemModel*,
                                    const QModelIndex& index) const
{
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line) {
        return;
    }
    const QString oldName = index.data(Qt::EditRole).toString();
    const QString newName = line->text();
    if (newName == oldName) {
        return;
    }
    const qulonglong cateId = index.data(int(CategoryTreeModel::DataRole::CateId)).toULongLong();
    qInfo().noquote() << "TreeView Rename, cateId:" << cateId << "(" << oldName << "->" << newName
                      << ")";
    categories.RenameCategory(cateId, newName);
}

void TreeViewDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                            const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QWidget* view = option.widget;
    QStyle* style = view ? view->style() : QApplication::style();
    const QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, view);
    int right = text.right();
    if (auto* itemView = qobject_cast<const QAbstractItemView*>(view)) {
        right = itemView->viewport()->rect().right();
    }
    constexpr int kHeight = 24;
    editor->setGeometry(text.left(), text.center().y() - kHeight / 2 + 1,
                        qMax(40, right - text.left()), kHeight);
}

#pragma once

#include <QStyledItemDelegate>

class CategoryTreeModel;

// The category tree's item delegate: no focus frame, and in-place renaming whose commit asks the
// category model to rename (the tree changes only when the platform accepted the new name).
class TreeViewDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    static constexpr int kMaxNameLength = 40;

    explicit TreeViewDelegate(CategoryTreeModel& categories, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

private:
    CategoryTreeModel& categories;
};

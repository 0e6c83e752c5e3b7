#pragma once

#include <QStyledItemDelegate>

class QPushButton;

// Draws the button cells of the upload dialog's file table (the model marks them with role
// 512) as push buttons styled by the template button's object name, and reports clicks.
// Column 3 uses an "editButton", column 4 a "delButton".
class UploadButtonDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit UploadButtonDelegate(QWidget* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

    QPushButton* TemplateFor(int column) const;
    // The button's rectangle inside a cell.
    QRect ButtonRect(const QRect& cell) const;

signals:
    void SignalButtonClicked(QPushButton* button, QModelIndex index);

private:
    QPushButton* editButton = nullptr;
    QPushButton* delButton = nullptr;
    QPersistentModelIndex pressed;
    QPersistentModelIndex hovered;
};

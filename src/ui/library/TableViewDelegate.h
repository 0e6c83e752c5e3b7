#pragma once

#include <QHash>
#include <QModelIndex>
#include <QStyledItemDelegate>

class QPushButton;
class QStyleOptionButton;

// Draws push buttons inside table cells and makes them clickable. A button cell carries
// role 512 = 1, a never-shown template button in role 513 (its object name lets the style sheet
// style the painted button) and its state bits in role 514: 1 enabled, 4 pressed, 0x2000 hover.
class TableViewDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    static constexpr int kButtonCellRole = 512;
    static constexpr int kButtonTemplateRole = 513;
    static constexpr int kButtonStateRole = 514;
    static constexpr int kEnabledBit = 0x1;
    static constexpr int kPressedBit = 0x4;
    static constexpr int kHoverBit = 0x2000;

    explicit TableViewDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    // Button cells ask for their button's natural size plus the margins.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    static QPushButton* ButtonOf(const QModelIndex& index);
    static bool IsButtonCell(const QModelIndex& index);
    // Where the button of a cell is drawn, and the text it gets (line breaks where needed).
    QRect ButtonRect(const QStyleOptionViewItem& option, const QModelIndex& index,
                     QString* text = nullptr) const;

signals:
    void SignalButtonClicked(QPushButton* button, QModelIndex index);

public:
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

protected:
    // The natural size of a template's button for a text: asked for every cell by the header's
    // size-to-contents, so measured once (style sheet sizes are slow to compute).
    QSize NaturalButtonSize(QPushButton* button, const QString& label) const;

    int leftMargin = 4;
    int topMargin = 4;
    int rightMargin = 4;
    int bottomMargin = 4;

private:
    mutable QHash<QPair<QObject*, QString>, QSize> naturalSizes;
};

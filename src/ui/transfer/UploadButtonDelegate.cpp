#include "ui/transfer/UploadButtonDelegate.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionButton>

#include "models/UploadTableModel.h"

UploadButtonDelegate::UploadButtonDelegate(QWidget* parent) : QStyledItemDelegate(parent)
{
    // Templates: never shown, their object names let the dialog's style sheet style the
    // painted buttons.
    editButton = new QPushButton(parent);
    editButton->setObjectName(QStringLiteral("editButton"));
    editButton->hide();
    delButton = new QPushButton(parent);
    delButton->setObjectName(QStringLiteral("delButton"));
    delButton->hide();
}

QPushButton* UploadButtonDelegate::TemplateFor(int column) const
{
    return column == UploadTableModel::Delete ? delButton : editButton;
}

QRect UploadButtonDelegate::ButtonRect(const QRect& cell) const
{
    const int width = qMin(56, cell.width() - 8);
    const int height = 26;
    return QRect(cell.center().x() - width / 2, cell.center().y() - height / 2 + 1, width, height);
}

void UploadButtonDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const
{
    if (index.data(UploadTableModel::ButtonCellRole).toInt() != 1) {
        if (index.column() != UploadTableModel::Title) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        // The title: the row's background over the whole cell, the text 12 pixels in.
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        const QString text = cell.text;
        cell.text.clear();
        QWidget* view = qobject_cast<QWidget*>(parent());
        QStyle* style = view ? view->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, view);
        const QRect textRect = option.rect.adjusted(12, 0, -8, 0);
        painter->save();
        painter->setPen(cell.palette.color(QPalette::Text));
        painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                          cell.fontMetrics.elidedText(text, Qt::ElideRight, textRect.width()));
        painter->restore();
        return;
    }
    // The row's background first (alternating colours, selection of a blinking row).
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    QWidget* view = qobject_cast<QWidget*>(parent());
    QStyle* style = view ? view->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, view);

    QPushButton* button = TemplateFor(index.column());
    QStyleOptionButton opt;
    opt.initFrom(button);
    opt.rect = ButtonRect(option.rect);
    opt.text = index.data(Qt::DisplayRole).toString();
    opt.state = QStyle::State_Enabled | QStyle::State_Raised;
    if (index == hovered) {
        opt.state |= QStyle::State_MouseOver;
    }
    if (index == pressed) {
        opt.state |= QStyle::State_Sunken;
    }
    button->style()->drawControl(QStyle::CE_PushButton, &opt, painter, button);
}

QSize UploadButtonDelegate::sizeHint(const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const
{
    if (index.data(UploadTableModel::ButtonCellRole).toInt() == 1) {
        return QSize(72, 48);
    }
    return QStyledItemDelegate::sizeHint(option, index);
}

bool UploadButtonDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                       const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (index.data(UploadTableModel::ButtonCellRole).toInt() != 1) {
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }
    auto* view = qobject_cast<QWidget*>(parent());
    auto repaint = [view] {
        if (view) {
            view->update();
        }
    };
    switch (event->type()) {
        case QEvent::MouseMove: {
            const bool over =
                ButtonRect(option.rect).contains(static_cast<QMouseEvent*>(event)->pos());
            const QPersistentModelIndex now =
                over ? QPersistentModelIndex(index) : QPersistentModelIndex();
            if (now != hovered) {
                hovered = now;
                repaint();
            }
            return false;
        }
        case QEvent::MouseButtonPress:
            if (ButtonRect(option.rect).contains(static_cast<QMouseEvent*>(event)->pos())) {
                pressed = index;
                repaint();
                return true;
            }
            return false;
        case QEvent::MouseButtonRelease: {
            const bool click =
                pressed == index &&
                ButtonRect(option.rect).contains(static_cast<QMouseEvent*>(event)->pos());
            pressed = QPersistentModelIndex();
            repaint();
            if (click) {
                emit SignalButtonClicked(TemplateFor(index.column()), index);
            }
            return click;
        }
        default:
            return false;
    }
}

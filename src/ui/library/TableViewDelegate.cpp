#include "ui/library/TableViewDelegate.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionButton>

namespace {

// Breaks text into lines that each fit width (at word boundaries where there are any,
// otherwise between characters).
QString WrapToWidth(const QString& text, const QFontMetrics& metrics, int width)
{
    QStringList lines;
    QString line;
    for (const QChar ch : text) {
        const QString candidate = line + ch;
        if (!line.isEmpty() && metrics.horizontalAdvance(candidate) > width) {
            lines.append(line);
            line = ch.isSpace() ? QString() : QString(ch);
        } else {
            line = candidate;
        }
    }
    if (!line.isEmpty()) {
        lines.append(line);
    }
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

TableViewDelegate::TableViewDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

QPushButton* TableViewDelegate::ButtonOf(const QModelIndex& index)
{
    return qobject_cast<QPushButton*>(index.data(kButtonTemplateRole).value<QObject*>());
}

bool TableViewDelegate::IsButtonCell(const QModelIndex& index)
{
    return index.data(kButtonCellRole).toInt() == 1 && ButtonOf(index);
}

QSize TableViewDelegate::NaturalButtonSize(QPushButton* button, const QString& label) const
{
    const QPair<QObject*, QString> key(button, label);
    auto found = naturalSizes.constFind(key);
    if (found != naturalSizes.constEnd()) {
        return found.value();
    }
    QStyleOptionButton probe;
    probe.initFrom(button);
    probe.text = label;
    const QSize size =
        button->style()
            ->sizeFromContents(QStyle::CT_PushButton, &probe,
                               QFontMetrics(button->font()).size(Qt::TextShowMnemonic, label),
                               button)
            .expandedTo(button->minimumSize());
    naturalSizes.insert(key, size);
    return size;
}

QRect TableViewDelegate::ButtonRect(const QStyleOptionViewItem& option, const QModelIndex& index,
                                    QString* text) const
{
    QPushButton* button = ButtonOf(index);
    if (!button) {
        return QRect();
    }
    QString label = index.data(Qt::DisplayRole).toString();
    if (label.isEmpty()) {
        label = button->text();
    }
    const QFontMetrics metrics(button->font());
    QSize size = NaturalButtonSize(button, label);
    const QRect area = option.rect.adjusted(leftMargin, topMargin, -rightMargin, -bottomMargin);
    if (size.width() > area.width() || size.height() > area.height()) {
        const int padding = qMax(0, size.width() - metrics.horizontalAdvance(label));
        label = WrapToWidth(label, metrics, qMax(1, area.width() - padding));
        size = size.boundedTo(area.size());
    }
    if (text) {
        *text = label;
    }
    QRect rect(QPoint(0, 0), size);
    rect.moveCenter(option.rect.center());
    return rect;
}

QSize TableViewDelegate::sizeHint(const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const
{
    if (!IsButtonCell(index)) {
        return QStyledItemDelegate::sizeHint(option, index);
    }
    QStyleOptionViewItem roomy = option;
    roomy.rect = QRect(0, 0, 1000, 1000);
    const QSize button = ButtonRect(roomy, index).size();
    return button + QSize(leftMargin + rightMargin, topMargin + bottomMargin);
}

void TableViewDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const
{
    if (!IsButtonCell(index)) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QPushButton* button = ButtonOf(index);
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    const QWidget* view = option.widget;
    QStyle* viewStyle = view ? view->style() : QApplication::style();
    viewStyle->drawPrimitive(QStyle::PE_PanelItemViewItem, &background, painter, view);

    const int state = index.data(kButtonStateRole).toInt();
    QStyleOptionButton buttonOption;
    buttonOption.initFrom(button);
    buttonOption.rect = ButtonRect(option, index, &buttonOption.text);
    buttonOption.icon = button->icon();
    buttonOption.iconSize = button->iconSize();
    buttonOption.state = QStyle::State_None;
    if (state & kEnabledBit) {
        buttonOption.state |= QStyle::State_Enabled;
        if (state & kPressedBit) {
            buttonOption.state |= QStyle::State_Sunken;
        } else {
            buttonOption.state |= QStyle::State_Raised;
        }
        if (state & kHoverBit) {
            buttonOption.state |= QStyle::State_MouseOver;
        }
    }
    painter->save();
    painter->setFont(button->font());
    button->style()->drawControl(QStyle::CE_PushButton, &buttonOption, painter, button);
    painter->restore();
}

bool TableViewDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                    const QStyleOptionViewItem& option, const QModelIndex& index)
{
    const QEvent::Type type = event->type();
    const bool mouse = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
                       type == QEvent::MouseMove;
    const int state = index.data(kButtonStateRole).toInt();
    if (!mouse || !IsButtonCell(index) || !(state & kEnabledBit)) {
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }
    auto* mouseEvent = static_cast<QMouseEvent*>(event);
    const bool inside = ButtonRect(option, index).contains(mouseEvent->pos());
    if (type == QEvent::MouseMove) {
        const int next = inside ? (state | kHoverBit) : (state & ~kHoverBit);
        if (next != state) {
            model->setData(index, next, kButtonStateRole);
        }
        return (state & kPressedBit) != 0;
    }
    if (mouseEvent->button() != Qt::LeftButton) {
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }
    if (type == QEvent::MouseButtonPress) {
        model->setData(index, inside ? (state | kPressedBit) : (state & ~kPressedBit),
                       kButtonStateRole);
        return inside;
    }
    if (state & kPressedBit) {
        model->setData(index, state & ~kPressedBit, kButtonStateRole);
        if (inside) {
            const QPersistentModelIndex clicked(index);
            QPushButton* button = ButtonOf(index);
            emit SignalButtonClicked(button, clicked);
            if (button) {
                button->click();
            }
        }
        return true;
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}

#include "ui/library/VideoTableViewDelegate.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QVariant>

namespace {

constexpr int kTextInset = 8;
constexpr int kThumbSize = 64;
const QColor kCopiedColor(10, 141, 255);
const QColor kThumbFrame(238, 238, 238);

}  // namespace

VideoTableViewDelegate::VideoTableViewDelegate(QObject* parent)
    : TableViewDelegate(parent),
      copyNormal(QStringLiteral(":/image/videoList/icon_copy_normal.svg")),
      copyHover(QStringLiteral(":/image/videoList/icon_copy_hover.svg")),
      copyPressed(QStringLiteral(":/image/videoList/icon_copy_pressed.svg"))
{
}

void VideoTableViewDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const
{
    if (IsButtonCell(index)) {
        TableViewDelegate::paint(painter, option, index);
        return;
    }
    switch (index.column()) {
        case 0: {
            QStyleOptionViewItem check = option;
            check.decorationSize = QSize(14, 14);
            QStyledItemDelegate::paint(painter, check, index);
            return;
        }
        case 1: {
            QStyleOptionViewItem background = option;
            initStyleOption(&background, index);
            const QWidget* view = option.widget;
            QStyle* style = view ? view->style() : QApplication::style();
            style->drawPrimitive(QStyle::PE_PanelItemViewItem, &background, painter, view);
            const QVariant value = index.data(kThumbnailRole);
            QPixmap pixmap = value.canConvert<QPixmap>() ? value.value<QPixmap>() : QPixmap();
            if (pixmap.isNull()) {
                return;
            }
            const qreal ratio = pixmap.devicePixelRatio();
            QSize size = (QSizeF(pixmap.size()) / ratio).toSize();
            size.scale(kThumbSize, kThumbSize, Qt::KeepAspectRatio);
            QRect target(QPoint(0, 0), size);
            target.moveCenter(option.rect.center());
            painter->save();
            painter->setRenderHint(QPainter::Antialiasing);
            painter->setRenderHint(QPainter::SmoothPixmapTransform);
            painter->drawPixmap(target, pixmap);
            painter->setPen(kThumbFrame);
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(target.adjusted(0, 0, -1, -1));
            painter->restore();
            return;
        }
        case 2:
            PaintTitle(painter, option, index);
            return;
        default:
            QStyledItemDelegate::paint(painter, option, index);
    }
}

QRect VideoTableViewDelegate::VidLineRect(const QStyleOptionViewItem& option,
                                          const QString& vid) const
{
    const QRect area = option.rect.adjusted(kTextInset, 0, -(2 * kTextInset + kCopyIconSize), 0);
    return option.fontMetrics.boundingRect(area, Qt::AlignLeft | Qt::AlignBottom, vid)
        .translated(0, -kTextInset);
}

QRect VideoTableViewDelegate::CopyIconRect(const QStyleOptionViewItem& option,
                                           const QModelIndex& index) const
{
    return CopyIconRect(option,
                        index.data(Qt::DisplayRole).toString().section(QLatin1Char('\n'), 2, 2));
}

QRect VideoTableViewDelegate::CopyIconRect(const QStyleOptionViewItem& option,
                                           const QString& vid) const
{
    const QRect area = option.rect.adjusted(kTextInset, 0, -(2 * kTextInset + kCopyIconSize), 0);
    const QRect vidRect = VidLineRect(option, vid);
    const int left =
        vidRect.width() <= area.width() - kTextInset ? vidRect.right() + 16 : area.right();
    const int bottom = vidRect.bottom() - 12 + kCopyIconSize;
    return QRect(left, bottom - kCopyIconSize + 1, kCopyIconSize, kCopyIconSize);
}

void VideoTableViewDelegate::PaintTitle(QPainter* painter, const QStyleOptionViewItem& option,
                                        const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QWidget* view = option.widget;
    QStyle* style = view ? view->style() : QApplication::style();
    opt.text.clear();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, view);

    // The view's line breaks are line separators (U+2028) here.
    QString text = index.data(Qt::DisplayRole).toString();
    text.replace(QLatin1Char('\n'), QChar(0x2028));
    const QVector<QStringRef> lines = text.splitRef(QChar(0x2028));
    const QString title = lines.value(0).toString();
    const QString info = lines.value(1).toString();
    const QString vid = lines.value(2).toString();

    const QRect iconRect = CopyIconRect(option, vid);
    const int textLeft = option.rect.left() + kTextInset;
    const int textWidth = qMax(0, iconRect.left() - kTextInset - textLeft);
    const QFontMetrics& metrics = option.fontMetrics;
    const QPalette::ColorGroup group = !(option.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (option.state & QStyle::State_Active) ? QPalette::Active
                                                                               : QPalette::Inactive;
    const int lineHeight = metrics.height();
    const int blockHeight = lineHeight * 3 + 4;
    int top = option.rect.top() + (option.rect.height() - blockHeight) / 2;

    painter->save();
    painter->setFont(option.font);
    painter->setPen(option.palette.color(group, QPalette::Text));
    const int available = qMax(0, option.rect.right() - kTextInset - textLeft);
    painter->drawText(QRect(textLeft, top, available, lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                      metrics.elidedText(title, option.textElideMode, available));
    top += lineHeight + 2;
    painter->setPen(option.palette.color(group, QPalette::PlaceholderText));
    painter->drawText(QRect(textLeft, top, available, lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                      metrics.elidedText(info, option.textElideMode, available));
    top += lineHeight + 2;
    const bool copied = index.data(kVidCopiedRole).toBool();
    painter->setPen(copied ? kCopiedColor : option.palette.color(group, QPalette::PlaceholderText));
    const QRect vidRect(textLeft, top, textWidth, lineHeight);
    painter->drawText(vidRect, Qt::AlignLeft | Qt::AlignVCenter,
                      metrics.elidedText(vid, option.textElideMode, textWidth));

    const qreal ratio = view && view->screen() ? view->screen()->devicePixelRatio() : 1.0;
    const QRect place(iconRect.left(), vidRect.center().y() - kCopyIconSize / 2, kCopyIconSize,
                      kCopyIconSize);
    painter->drawPixmap(place, CopyIcon(index.data(kButtonStateRole).toInt(), ratio));
    painter->restore();
}

const QPixmap& VideoTableViewDelegate::CopyIcon(int state, qreal ratio) const
{
    if (ratio != copyPixmapRatio) {
        copyPixmapRatio = ratio;
        const QIcon* icons[] = {&copyNormal, &copyHover, &copyPressed};
        for (int i = 0; i < 3; ++i) {
            copyPixmaps[i] = icons[i]->pixmap(QSize(kCopyIconSize, kCopyIconSize) * ratio);
            copyPixmaps[i].setDevicePixelRatio(ratio);
        }
    }
    return copyPixmaps[(state & kHoverBit) ? 1 : (state & kPressedBit) ? 2 : 0];
}

bool VideoTableViewDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                         const QStyleOptionViewItem& option,
                                         const QModelIndex& index)
{
    if (index.column() != 2) {
        return TableViewDelegate::editorEvent(event, model, option, index);
    }
    const QEvent::Type type = event->type();
    const int state = index.data(kButtonStateRole).toInt();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseMove) {
        if (state != 0) {
            model->setData(index, 0, kButtonStateRole);
        }
        return false;
    }
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QRect icon = CopyIconRect(option, index).adjusted(-3, -3, 3, 3);
    const bool inside = icon.contains(mouse->pos());
    if (type == QEvent::MouseMove) {
        const int next = inside ? (state | kHoverBit) : (state & ~kHoverBit);
        if (next != state) {
            model->setData(index, next, kButtonStateRole);
        }
        return (state & kPressedBit) != 0;
    }
    if (mouse->button() != Qt::LeftButton) {
        return false;
    }
    if (type == QEvent::MouseButtonPress) {
        model->setData(index, inside ? (state | kPressedBit) : (state & ~kPressedBit),
                       kButtonStateRole);
        return inside;
    }
    if (state & kPressedBit) {
        model->setData(index, state & ~kPressedBit, kButtonStateRole);
        if (inside) {
            model->setData(index, true, kVidCopiedRole);
            emit SignalCopyVid(index);
        }
        return true;
    }
    return false;
}

QSize VideoTableViewDelegate::TextCellSize(const QStyleOptionViewItem& option,
                                           const QModelIndex& index) const
{
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    if (style != textSizesStyle || option.font != textSizesFont) {
        textSizes.clear();
        textSizesStyle = style;
        textSizesFont = option.font;
    }
    const QPair<int, QString> key(index.column(), index.data(Qt::DisplayRole).toString());
    auto found = textSizes.constFind(key);
    if (found != textSizes.constEnd()) {
        return found.value();
    }
    if (textSizes.size() > 4096) {
        textSizes.clear();
    }
    const QSize size = TableViewDelegate::sizeHint(option, index);
    textSizes.insert(key, size);
    return size;
}

QSize VideoTableViewDelegate::sizeHint(const QStyleOptionViewItem& option,
                                       const QModelIndex& index) const
{
    // The header asks every row whenever it sizes its columns to their contents: the check box
    // and thumbnail columns answer without measuring anything.
    const bool button = IsButtonCell(index);
    if (!button && index.column() == 0) {
        return QSize(38, 38);
    }
    if (!button && index.column() == 1) {
        return QSize(80, 80);
    }
    const QSize base =
        button ? TableViewDelegate::sizeHint(option, index) : TextCellSize(option, index);
    if (button && index.column() != 4) {
        return base;
    }
    switch (index.column()) {
        case 2:
            return QSize(qMax(base.width(), 60), base.height());
        case 3:
        case 4:
            return QSize(qBound(80, base.width(), 120), base.height());
        default:
            return base;
    }
}

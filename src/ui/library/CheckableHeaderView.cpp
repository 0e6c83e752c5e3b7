#include "ui/library/CheckableHeaderView.h"

#include <QMouseEvent>
#include <QPainter>

#include "api/ApiCollection.h"

namespace {

constexpr int kCheckSize = 14;
constexpr int kArrowSize = 12;

}  // namespace

CheckableHeaderView::CheckableHeaderView(Qt::Orientation orientation, QWidget* parent)
    : QHeaderView(orientation, parent),
      ascNormal(QStringLiteral(":/image/videoList/icon_asc_normal.svg")),
      ascHover(QStringLiteral(":/image/videoList/icon_asc_hover.svg")),
      descNormal(QStringLiteral(":/image/videoList/icon_desc_normal.svg")),
      descHover(QStringLiteral(":/image/videoList/icon_desc_hover.svg")),
      checkedIcon(QStringLiteral(":/image/common/icon_checkbox_checked.svg")),
      partialIcon(QStringLiteral(":/image/videoList/icon_checkbox_partial.svg")),
      uncheckedIcon(QStringLiteral(":/image/videoList/icon_checkbox_unchecked.svg")),
      uncheckedDisabled(QStringLiteral(":/image/videoList/icon_checkbox_unchecked_disabled.svg"))
{
    setSectionsClickable(true);
    setMouseTracking(true);
    connect(this, &QHeaderView::sectionClicked, this, &CheckableHeaderView::OnSectionClicked);
}

void CheckableHeaderView::SetCheckable(int column)
{
    if (!checkable.contains(column)) {
        checkable.append(column);
        boxes.insert(column, CheckBox{});
        boxes[column].disabled = rowCount == 0;
    }
}

void CheckableHeaderView::SetSortable(int column)
{
    if (!sortable.contains(column)) {
        sortable.append(column);
    }
    if (column == 5) {
        sortColumn = 5;
    }
}

bool CheckableHeaderView::IsCheckBoxDisabled(int column) const
{
    return boxes.value(column).disabled;
}

int CheckableHeaderView::CurrentSortMethod() const
{
    if (sortColumn == 2) {
        return sortFlag ? ApiCollection::TitleNameDesc : ApiCollection::TitleNameAsc;
    }
    if (sortColumn == 5) {
        return sortFlag ? ApiCollection::CreationTimeAsc : ApiCollection::CreationTimeDesc;
    }
    return ApiCollection::NoSort;
}

QRect CheckableHeaderView::CheckRect(const QRect& section) const
{
    return QRect(section.center().x() - kCheckSize / 2 + 1, section.center().y() - kCheckSize / 2,
                 kCheckSize, kCheckSize);
}

void CheckableHeaderView::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    painter->save();
    QHeaderView::paintSection(painter, rect, logicalIndex);
    painter->restore();

    if (checkable.contains(logicalIndex) && model()) {
        const CheckBox& box = boxes[logicalIndex];
        box.rect = CheckRect(rect);
        const auto state = Qt::CheckState(
            model()->headerData(logicalIndex, orientation(), Qt::CheckStateRole).toInt());
        const QIcon& icon = box.disabled                    ? uncheckedDisabled
                            : state == Qt::Checked          ? checkedIcon
                            : state == Qt::PartiallyChecked ? partialIcon
                                                            : uncheckedIcon;
        icon.paint(painter, box.pressed ? box.rect.adjusted(1, 1, -1, -1) : box.rect);
    }
    if (sortable.contains(logicalIndex)) {
        const QString text =
            model() ? model()->headerData(logicalIndex, orientation()).toString() : QString();
        const int textWidth = fontMetrics().horizontalAdvance(text);
        const int left = rect.left() + 4 + textWidth + 6;
        const int top = rect.center().y() - kArrowSize + 1;
        const bool active = logicalIndex == sortColumn;
        // Up arrow lit while ascending, down arrow while descending.
        const int method = CurrentSortMethod();
        const bool ascending = active && (method == ApiCollection::CreationTimeAsc ||
                                          method == ApiCollection::TitleNameAsc);
        const bool descending = active && !ascending;
        (ascending ? ascHover : ascNormal).paint(painter, QRect(left, top, kArrowSize, kArrowSize));
        (descending ? descHover : descNormal)
            .paint(painter, QRect(left, top + kArrowSize - 2, kArrowSize, kArrowSize));
    }
}

void CheckableHeaderView::mousePressEvent(QMouseEvent* event)
{
    const int column = logicalIndexAt(event->pos());
    if (event->button() == Qt::LeftButton && checkable.contains(column) &&
        !boxes[column].disabled) {
        boxes[column].pressed = true;
        viewport()->update();
        event->accept();
        return;
    }
    QHeaderView::mousePressEvent(event);
}

void CheckableHeaderView::mouseReleaseEvent(QMouseEvent* event)
{
    const int column = logicalIndexAt(event->pos());
    if (event->button() == Qt::LeftButton && checkable.contains(column) && boxes[column].pressed) {
        CheckBox& box = boxes[column];
        box.pressed = false;
        const QRect section(sectionViewportPosition(column), 0, sectionSize(column), height());
        if (CheckRect(section).contains(event->pos()) && model()) {
            const auto old = Qt::CheckState(
                model()->headerData(column, orientation(), Qt::CheckStateRole).toInt());
            const Qt::CheckState state = old == Qt::Checked ? Qt::Unchecked : Qt::Checked;
            model()->setHeaderData(column, orientation(), state, Qt::CheckStateRole);
            viewport()->update();
            emit stateChanged(column, state);
        } else {
            viewport()->update();
        }
        event->accept();
        return;
    }
    QHeaderView::mouseReleaseEvent(event);
}

void CheckableHeaderView::OnSectionClicked(int section)
{
    if (!sortable.contains(section) || !sectionsClickable() || !isEnabled()) {
        return;
    }
    if (!sortEnabled) {
        return;
    }
    sortFlag = section != sortColumn || !sortFlag;
    sortColumn = section;
    viewport()->update();
    emit SignalSortChange(CurrentSortMethod());
}

void CheckableHeaderView::SlotSelectionChanged(const QItemSelection&, const QItemSelection&)
{
    if (!model()) {
        return;
    }
    for (int column : checkable) {
        int checked = 0;
        for (int row = 0; row < model()->rowCount(); ++row) {
            if (model()->index(row, column).data(Qt::CheckStateRole).toInt() == Qt::Checked) {
                ++checked;
            }
        }
        const Qt::CheckState state = checked != 0 && checked == rowCount ? Qt::Checked
                                     : checked != 0                      ? Qt::PartiallyChecked
                                                                         : Qt::Unchecked;
        model()->setHeaderData(column, orientation(), state, Qt::CheckStateRole);
    }
    viewport()->update();
}

void CheckableHeaderView::SlotRowCountChanged(int count)
{
    rowCount = count;
    for (int column : checkable) {
        boxes[column].disabled = count == 0;
    }
    viewport()->update();
}

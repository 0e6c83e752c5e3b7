#include "ui/transfer/RecordTableBase.h"

#include <QHeaderView>

#include "ui/common/StyleSheet.h"

RecordTableBase::RecordTableBase(QWidget* parent) : QTableWidget(parent)
{
    setStyleSheet(StyleSheet::Load(QStringLiteral("RecordTable.qss")));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::NoSelection);
    setFocusPolicy(Qt::NoFocus);
    setShowGrid(false);
    setWordWrap(false);
    setMouseTracking(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(60);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setFixedHeight(40);
}

void RecordTableBase::SetColumns(const QStringList& headers, const QVector<int>& fixedWidths)
{
    setColumnCount(headers.size());
    setHorizontalHeaderLabels(headers);
    QHeaderView* header = horizontalHeader();
    header->setDefaultAlignment(Qt::AlignCenter);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    if (QTableWidgetItem* first = horizontalHeaderItem(0)) {
        first->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    for (int column = 1; column < headers.size() && column - 1 < fixedWidths.size(); ++column) {
        header->setSectionResizeMode(column, QHeaderView::Fixed);
        header->resizeSection(column, fixedWidths.at(column - 1));
    }
}

int RecordTableBase::RowOf(const QString& vid) const
{
    const SharedRecordRowItem item = items.value(vid);
    return item && item->firstItem ? item->firstItem->row() : -1;
}

void RecordTableBase::InsertRow(const SharedRecordRowItem& item, int position)
{
    const bool wasEmpty = items.isEmpty();
    const int row = position < 0 ? rowCount() : position;
    insertRow(row);  // 60 pixels high: the header's fixed default
    item->firstItem = new QTableWidgetItem;
    setItem(row, 0, item->firstItem);
    items.insert(item->vid, item);
    if (wasEmpty) {
        emit SignalContentStatus(false);
    }
    emit SignalCountChange(items.size());
}

void RecordTableBase::RemoveRow(const QString& vid)
{
    const int row = RowOf(vid);
    if (row < 0) {
        return;
    }
    items.remove(vid);
    removeRow(row);
    emit SignalCountChange(items.size());
    if (items.isEmpty()) {
        emit SignalContentStatus(true);
    }
}

void RecordTableBase::RemoveAllRows()
{
    const bool hadRows = !items.isEmpty();
    items.clear();
    setRowCount(0);
    emit SignalCountChange(0);
    if (hadRows) {
        emit SignalContentStatus(true);
    }
}

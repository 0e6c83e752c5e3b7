#include "ui/transfer/HistoryTableWidget.h"

#include <QDateTime>
#include <QScrollBar>

#include "ui/transfer/IconWidget.h"
#include "ui/transfer/OperationWidget.h"

HistoryTableWidget::HistoryTableWidget(SDKManager& uploads, DBManager& database, QWidget* parent)
    : RecordTableBase(parent), uploads(uploads), database(database)
{
    setObjectName(QStringLiteral("historyTableWidget"));
    SetColumns({tr("Record.Title"), tr("Record.FileSize"), tr("Record.Time"), tr("Record.Status"),
                tr("Record.Opertation")},
               {140, 180, 140, 80});
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &HistoryTableWidget::OnScrolled);
}

bool HistoryTableWidget::LoadNextPage()
{
    if (!morePages) {
        return false;
    }
    const QVector<DBManager::History> page = database.GetHistories(pageIndex, kPageSize);
    ++pageIndex;
    morePages = page.size() == kPageSize;
    for (const DBManager::History& record : page) {
        if (!HasRow(record.vid)) {
            AddRow(record, -1);
        }
    }
    return true;
}

void HistoryTableWidget::OnScrolled(int value)
{
    QScrollBar* bar = verticalScrollBar();
    if (bar->isVisible() && value >= bar->maximum() && morePages) {
        LoadNextPage();
    }
}

void HistoryTableWidget::OnAppendItem(DBManager::History item)
{
    RemoveRow(item.vid);
    AddRow(item, 0);
}

void HistoryTableWidget::OnRemoveItem(QString vid)
{
    RemoveRow(vid);
}

void HistoryTableWidget::OnRemoveAllItems()
{
    RemoveAllRows();
}

void HistoryTableWidget::AddRow(const DBManager::History& record, int position)
{
    auto item = SharedRecordRowItem::create();
    item->vid = record.vid;
    item->history = record;
    item->sizeText = record.fileSize;
    InsertRow(item, position);
    const int row = RowOf(record.vid);

    item->iconWidget = new IconWidget(record.titleName);
    setCellWidget(row, 0, item->iconWidget);
    const QString time = QDateTime::fromSecsSinceEpoch(qint64(record.updateTS))
                             .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    const QStringList texts{record.fileSize, time, record.fileStatus};
    for (int column = 1; column <= 3; ++column) {
        auto* cell = new QTableWidgetItem(texts.at(column - 1));
        cell->setTextAlignment(Qt::AlignCenter);
        setItem(row, column, cell);
    }
    item->operationWidget = new OperationWidget(OperationWidget::HistoryMode, record.vid,
                                                record.fileName, uploads, database);
    setCellWidget(row, 4, item->operationWidget);
}

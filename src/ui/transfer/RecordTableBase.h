#pragma once

#include <QMap>
#include <QSharedPointer>
#include <QTableWidget>

#include "store/DBManager.h"

class IconWidget;
class OperationWidget;
class ProgressWidget;

// One row of a transfer table: the record copy (an upload or a history record), the size
// text, the first cell's item and the row's widgets.
struct RecordRowItem
{
    QString vid;
    DBManager::Upload upload;
    DBManager::History history;
    QString sizeText;
    QTableWidgetItem* firstItem = nullptr;
    IconWidget* iconWidget = nullptr;
    ProgressWidget* progressWidget = nullptr;
    OperationWidget* operationWidget = nullptr;
};
using SharedRecordRowItem = QSharedPointer<RecordRowItem>;

// The common table of the transfer page: rows keyed by vid, count and empty/non-empty
// announcements, the look ("RecordTable.qss").
class RecordTableBase : public QTableWidget
{
    Q_OBJECT

public:
    explicit RecordTableBase(QWidget* parent = nullptr);

    int Count() const { return items.size(); }
    bool HasRow(const QString& vid) const { return items.contains(vid); }
    SharedRecordRowItem Row(const QString& vid) const { return items.value(vid); }
    // The table row of a vid, or -1.
    int RowOf(const QString& vid) const;

signals:
    void SignalCountChange(int count);
    void SignalContentStatus(bool empty);

protected:
    // Sets up headers, the stretching first column and the fixed widths of the others.
    void SetColumns(const QStringList& headers, const QVector<int>& fixedWidths);
    // Inserts a row at position (or appends when -1) and registers it.
    void InsertRow(const SharedRecordRowItem& item, int position);
    void RemoveRow(const QString& vid);
    void RemoveAllRows();

    QMap<QString, SharedRecordRowItem> items;
};

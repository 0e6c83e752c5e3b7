#pragma once

#include "ui/transfer/RecordTableBase.h"

class SDKManager;

// The finished table: the account's upload history, newest first, loaded 20 records at a time
// as the user scrolls to the bottom. Records the database announces go to the top.
class HistoryTableWidget : public RecordTableBase
{
    Q_OBJECT

public:
    static constexpr int kPageSize = 20;

    HistoryTableWidget(SDKManager& uploads, DBManager& database, QWidget* parent = nullptr);

    // Loads the next page of history records to the bottom; false when no page was asked for
    // because the last one came back short.
    bool LoadNextPage();
    bool HasMorePages() const { return morePages; }
    int PageIndex() const { return pageIndex; }

public slots:
    void OnAppendItem(DBManager::History item);
    void OnRemoveItem(QString vid);
    void OnRemoveAllItems();

private:
    void AddRow(const DBManager::History& record, int position);
    void OnScrolled(int value);

    SDKManager& uploads;
    DBManager& database;
    int pageIndex = 0;
    bool morePages = true;
};

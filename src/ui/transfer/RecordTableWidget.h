#pragma once

#include <QTimer>
#include <QWeakPointer>

#include "ui/transfer/RecordTableBase.h"
#include "upload/UploadStatus.h"

class CategoryTreeModel;
class SDKManager;
class SDKUploadTask;

// The uploading table: one row per queued upload with its live progress and operation cells.
// A one-second timer refreshes the rows, sums the header's figures and saves the progress of
// every upload every third tick.
//
// A row's texts come at once; its cell widgets (a dozen styled widgets) are built for the first
// kRowsAtOnce rows of one pass of the event loop and for the rest in slices of kSliceMs on the
// following passes, so that 200 files added at once do not hold the window for a second.
class RecordTableWidget : public RecordTableBase
{
    Q_OBJECT

public:
    // What the queue is doing, counted over the rows at each tick.
    struct QueueState
    {
        int active = 0;  // Waiting or Uploading
        int paused = 0;  // Paused or Stopped
        int failed = 0;
        int invalid = 0;
    };

    RecordTableWidget(SDKManager& uploads, DBManager& database, CategoryTreeModel& categories,
                      QWidget* parent = nullptr);

    QueueState State() const;
    // "512.00KB/S", "1.50MB/S" of a summed speed in KB/s.
    static QString TotalSpeedText(qint64 kiloBytesPerSecond);
    bool IsTimerActive() const { return timer.isActive(); }
    // Rows whose cell widgets are still to be built.
    int PendingRows() const { return pending.size(); }

    static constexpr int kRowsAtOnce = 4;
    static constexpr int kSliceMs = 8;

signals:
    void SignalProcess(qlonglong uploadBytes, qlonglong totalBytes, QString speed);
    void SignalQueueState(int active, int paused, int failed);

public slots:
    void OnAppendItem(SharedUploadTaskPtr task, DBManager::Upload item);
    void OnRemoveItem(QString vid);
    void OnRemoveAllItems();
    void OnContentStatus(bool empty);
    void OnTimer();

private:
    void BuildCells(const SharedRecordRowItem& item, const SharedUploadTaskPtr& task);
    void OnBuildPending();

    SDKManager& uploads;
    DBManager& database;
    CategoryTreeModel& categories;
    QMap<QString, QWeakPointer<SDKUploadTask>> tasks;
    QTimer timer;
    QTimer buildTimer;    // zero interval: the end of the current pass of the event loop
    QStringList pending;  // vids whose cell widgets are still to be built, in row order
    int builtThisPass = 0;
    static quint64 saveCounter;
};

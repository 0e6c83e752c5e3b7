#include "ui/transfer/RecordTableWidget.h"

#include <QElapsedTimer>

#include "app/Format.h"
#include "models/CategoryTreeModel.h"
#include "ui/transfer/IconWidget.h"
#include "ui/transfer/OperationWidget.h"
#include "ui/transfer/ProgressWidget.h"
#include "upload/SDKManager.h"
#include "upload/SDKUploadTask.h"

quint64 RecordTableWidget::saveCounter = 0;

RecordTableWidget::RecordTableWidget(SDKManager& uploads, DBManager& database,
                                     CategoryTreeModel& categories, QWidget* parent)
    : RecordTableBase(parent), uploads(uploads), database(database), categories(categories)
{
    setObjectName(QStringLiteral("recordTableWidget"));
    SetColumns({tr("Record.Title"), tr("Record.FileSize"), tr("Record.Dir"), tr("Record.Status"),
                tr("Record.Opertation")},
               {140, 140, 200, 80});
    timer.setObjectName(QStringLiteral("refreshTimer"));
    timer.setInterval(1000);
    connect(&timer, &QTimer::timeout, this, &RecordTableWidget::OnTimer);
    connect(this, &RecordTableBase::SignalContentStatus, this, &RecordTableWidget::OnContentStatus);
    buildTimer.setObjectName(QStringLiteral("buildTimer"));
    buildTimer.setSingleShot(true);
    buildTimer.setInterval(0);
    connect(&buildTimer, &QTimer::timeout, this, &RecordTableWidget::OnBuildPending);
}

void RecordTableWidget::OnAppendItem(SharedUploadTaskPtr task, DBManager::Upload record)
{
    if (!task || HasRow(record.vid)) {
        return;
    }
    auto item = SharedRecordRowItem::create();
    item->vid = record.vid;
    item->upload = record;
    item->sizeText = FormatSize(record.totalBytes, 4);
    tasks.insert(record.vid, task.toWeakRef());
    InsertRow(item, -1);
    const int row = RowOf(record.vid);
    auto* size = new QTableWidgetItem(item->sizeText);
    size->setTextAlignment(Qt::AlignCenter);
    setItem(row, 1, size);
    QString category = categories.CateName(qulonglong(record.cateId));
    if (category.isEmpty()) {
        category = record.catePath;
    }
    auto* categoryItem = new QTableWidgetItem(category);
    categoryItem->setTextAlignment(Qt::AlignCenter);
    categoryItem->setToolTip(category);
    setItem(row, 2, categoryItem);
    // The page's copy of the record follows the progress, with or without the row's widgets.
    QWeakPointer<RecordRowItem> weakItem = item.toWeakRef();
    connect(task.data(), &SDKUploadTask::SignalProgress, this,
            [weakItem](int, qlonglong uploadBytes, qlonglong) {
                if (SharedRecordRowItem row = weakItem.toStrongRef()) {
                    row->upload.uploadBytes = quint64(uploadBytes);
                }
            });

    if (pending.isEmpty() && builtThisPass < kRowsAtOnce) {
        BuildCells(item, task);
        ++builtThisPass;
    } else {
        pending.append(record.vid);
    }
    if (!buildTimer.isActive()) {
        buildTimer.start();
    }
    // A queue that finishes within a second is still seen running.
    const QueueState state = State();
    emit SignalQueueState(state.active, state.paused, state.failed);
}

void RecordTableWidget::BuildCells(const SharedRecordRowItem& item, const SharedUploadTaskPtr& task)
{
    const int row = RowOf(item->vid);
    if (row < 0) {
        return;
    }
    // The task may have moved on since the row came: the cells start from its state now.
    const DBManager::Upload& record = task->Record();
    item->iconWidget = new IconWidget(record.titleName);
    setCellWidget(row, 0, item->iconWidget);
    item->progressWidget = new ProgressWidget;
    item->progressWidget->Init(task->Status(), qint64(record.uploadBytes),
                               qint64(record.totalBytes), task->ErrorText());
    setCellWidget(row, 3, item->progressWidget);
    item->operationWidget = new OperationWidget(OperationWidget::UploadMode, record.vid,
                                                record.fileName, uploads, database);
    item->operationWidget->Init(task->Status());
    setCellWidget(row, 4, item->operationWidget);
    if (task->Status() == Failed) {
        item->progressWidget->OnResult(false, task->ErrorText());
        item->operationWidget->OnResult(false, task->ErrorText());
    }

    SDKUploadTask* source = task.data();
    connect(source, &SDKUploadTask::SignalStatus, item->progressWidget, &ProgressWidget::OnStatus);
    connect(source, &SDKUploadTask::SignalStatus, item->operationWidget,
            &OperationWidget::OnStatus);
    connect(source, &SDKUploadTask::SignalResult, item->progressWidget, &ProgressWidget::OnResult);
    connect(source, &SDKUploadTask::SignalResult, item->operationWidget,
            &OperationWidget::OnResult);
    connect(source, &SDKUploadTask::SignalProgress, item->progressWidget,
            &ProgressWidget::OnProgress);
    connect(source, &SDKUploadTask::SignalDeleteResult, item->operationWidget,
            &OperationWidget::OnDeleteResult);
}

void RecordTableWidget::OnBuildPending()
{
    builtThisPass = 0;
    QElapsedTimer slice;
    slice.start();
    while (!pending.isEmpty() && slice.elapsed() < kSliceMs) {
        const QString vid = pending.takeFirst();
        const SharedRecordRowItem item = items.value(vid);
        const SharedUploadTaskPtr task = tasks.value(vid).toStrongRef();
        if (item && task) {
            BuildCells(item, task);
        }
    }
    if (!pending.isEmpty()) {
        buildTimer.start();
    }
}

void RecordTableWidget::OnRemoveItem(QString vid)
{
    pending.removeOne(vid);
    tasks.remove(vid);
    RemoveRow(vid);
    if (!items.isEmpty()) {
        const QueueState state = State();
        emit SignalQueueState(state.active, state.paused, state.failed);
    }
}

void RecordTableWidget::OnRemoveAllItems()
{
    pending.clear();
    tasks.clear();
    RemoveAllRows();
}

void RecordTableWidget::OnContentStatus(bool empty)
{
    if (!empty) {
        if (!timer.isActive()) {
            timer.start();
        }
        return;
    }
    timer.stop();
    emit SignalProcess(0, 0, QString());
    emit SignalQueueState(0, 0, 0);
}

QString RecordTableWidget::TotalSpeedText(qint64 kbps)
{
    if (kbps <= 0) {
        return QStringLiteral("0KB/S");
    }
    if (kbps >= 1024) {
        return QStringLiteral("%1%2").arg(QString::number(kbps / 1024.0, 'f', 2),
                                          QStringLiteral("MB/S"));
    }
    return QStringLiteral("%1%2").arg(QString::number(double(kbps), 'f', 2),
                                      QStringLiteral("KB/S"));
}

RecordTableWidget::QueueState RecordTableWidget::State() const
{
    QueueState state;
    for (auto it = tasks.cbegin(); it != tasks.cend(); ++it) {
        const SharedUploadTaskPtr task = it.value().toStrongRef();
        if (!task) {
            continue;
        }
        switch (task->Status()) {
            case Waiting:
            case Uploading:
                ++state.active;
                break;
            case Paused:
            case Stopped:
                ++state.paused;
                break;
            case Failed:
                ++state.failed;
                break;
            default:
                ++state.invalid;
                break;
        }
    }
    return state;
}

void RecordTableWidget::OnTimer()
{
    qint64 totalBytes = 0;
    qint64 uploadBytes = 0;
    qint64 speed = 0;
    QueueState state;
    for (auto it = items.cbegin(); it != items.cend(); ++it) {
        const SharedRecordRowItem& item = it.value();
        if (ProgressWidget* progress = item->progressWidget) {
            progress->Refresh();
            speed += progress->SpeedKBps();
        }
        const SharedUploadTaskPtr task = tasks.value(it.key()).toStrongRef();
        const int status = task ? task->Status() : int(Invalid);
        switch (status) {
            case Waiting:
                ++state.active;
                break;
            case Uploading:
            case Paused:
            case Stopped:
            case Failed:
                if (status == Uploading) {
                    ++state.active;
                } else if (status == Failed) {
                    ++state.failed;
                } else {
                    ++state.paused;
                }
                totalBytes += qint64(item->upload.totalBytes);
                uploadBytes += qint64(item->upload.uploadBytes);
                break;
            default:
                break;
        }
    }
    const QString speedText = state.active > 0 ? TotalSpeedText(speed) : QString();
    emit SignalProcess(uploadBytes, totalBytes, speedText);
    emit SignalQueueState(state.active, state.paused, state.failed);

    if (saveCounter % 3 == 0) {
        uploads.SaveUploadProgress();
    }
    ++saveCounter;
}

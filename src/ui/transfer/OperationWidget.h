#pragma once

#include <QString>
#include <QWidget>

class DBManager;
class QPushButton;
class SDKManager;
class StatusButton;

// The operation cell of a transfer row. Mode 0 (an upload): start/pause toggle, retry after a
// failure, cancel. Mode 1 (a history record): show the file in its folder, remove the record.
class OperationWidget : public QWidget
{
    Q_OBJECT

public:
    enum Mode
    {
        UploadMode = 0,
        HistoryMode = 1
    };

    OperationWidget(Mode mode, const QString& vid, const QString& filePath, SDKManager& uploads,
                    DBManager& database, QWidget* parent = nullptr);

    // The first state of an upload row.
    void Init(int status);

public slots:
    void OnStatus(int status);
    void OnResult(bool success, QString desc);
    void OnDeleteResult(bool result, QString vid);

private:
    void OnUploadToggled(bool checked);
    void OnRetry();
    void OnDelete();
    void OnOpen();
    void OnCleanUp();

    Mode mode;
    QString vid;
    QString filePath;
    SDKManager& uploads;
    DBManager& database;
    bool invalid = false;
    QPushButton* retryButton = nullptr;
    StatusButton* uploadButton = nullptr;
    QPushButton* deleteButton = nullptr;
    QPushButton* openButton = nullptr;
    QPushButton* cleanupButton = nullptr;
};

#pragma once

#include <QVector>
#include <QWidget>

class QLabel;
class QProgressBar;

// The progress cell of an upload row: a thin bar, the state ("Waiting", "Pause", "Stoped"),
// the percentage, the speed over the last five seconds and the time left, or the error of a
// failed or invalid upload. Progress comes from the upload task; Refresh runs once a second.
class ProgressWidget : public QWidget
{
    Q_OBJECT

public:
    explicit ProgressWidget(QWidget* parent = nullptr);

    // The first state of a row: status, the bytes so far, and the error of an Invalid task.
    void Init(int status, qint64 uploadBytes, qint64 totalBytes, const QString& errorText);

    // Once a second while uploading: speed over the window and time left.
    void Refresh();

    int SpeedKBps() const { return speed; }
    qint64 UploadBytes() const { return uploadBytes; }
    qint64 TotalBytes() const { return totalBytes; }
    bool IsUploading() const { return uploading; }

    // "512KB/S", "1.50MB/S".
    static QString SpeedText(int kiloBytesPerSecond);
    // "00:00:05", or "OverOneDay" when the speed is 0 or a day or more remains.
    static QString TimeLeftText(qint64 remainingBytes, int kiloBytesPerSecond);
    // The whole KB/s of a window of per-second byte counts.
    static int WindowSpeed(const QVector<qint64>& window);

    static constexpr int kSpeedWindow = 5;
    static constexpr int kErrorWidth = 160;

public slots:
    void OnProgress(int increment, qlonglong uploadBytes, qlonglong totalBytes);
    void OnStatus(int status);
    void OnResult(bool success, QString desc);

private:
    void ClearCounters();
    void ShowError(const QString& text);
    void SetPercent(qint64 upload, qint64 total);
    void SetBarStyle(const QString& style);

    QProgressBar* uploadBar = nullptr;
    QLabel* errorLabel = nullptr;
    QLabel* timesLabel = nullptr;
    QLabel* speedLabel = nullptr;
    QLabel* stateLabel = nullptr;
    QLabel* percentLabel = nullptr;

    bool uploading = false;
    qint64 totalBytes = 0;
    qint64 uploadBytes = 0;
    qint64 byteCounter = 0;
    qint64 lastCounter = 0;
    int speed = 0;
    QVector<qint64> window;
};

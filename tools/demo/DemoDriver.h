#pragma once

#include <functional>

#include <QDir>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVector>

class VideoBatchSearchDialog;
class VideoEditDialog;

// Drives the real windows of a running client with Qt's test input and saves a screenshot of
// the whole screen at each stop: login (loading, network settings, a failed and a successful
// sign-in), the main window, both menus and every dialog reachable from them.
class DemoDriver : public QObject
{
    Q_OBJECT

public:
    DemoDriver(const QString& outDir, const QString& account, const QString& password,
               QObject* parent = nullptr);

    void Start();
    int Failures() const { return failures; }

private:
    struct Step
    {
        QString name;
        int delayMs;
        std::function<void()> run;
    };

    void Add(const QString& name, int delayMs, std::function<void()> run);
    void RunNext();
    // Repeats check every 100 ms until it holds (then the next step) or timeoutMs passes.
    void WaitFor(const QString& what, int timeoutMs, std::function<bool()> check);
    void Shot(const QString& name);
    void Fail(const QString& why);

    void AddLoginSteps();
    void AddMainWindowSteps();
    void AddLibrarySteps();  // DemoLibrarySteps.cpp
    void AddTransferSteps();  // DemoTransferSteps.cpp
    // DemoEditSteps.cpp: the video edit dialog and the batch vid search.
    void AddEditSteps();
    void ClickMenuRow(const char* buttonName, const char* rowName);

    QPointer<VideoEditDialog> editDialog;
    QPointer<VideoBatchSearchDialog> batchDialog;

    QDir outDir;
    QString account;
    QString password;
    QVector<Step> steps;
    int next = 0;
    bool waiting = false;
    bool startupUpdateSeen = false;  // the current step continues through WaitFor
    int failures = 0;
    int shots = 0;
};

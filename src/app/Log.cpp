#include "app/Log.h"

#include <cstdio>
#include <cstdlib>

#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QVector>

#include "app/DataDir.h"
#include "platform/DebuggerOutput.h"

namespace {

const QDateTime kRunStartTime = QDateTime::currentDateTime();

QMutex& WriteLock()
{
    static QMutex lock;
    return lock;
}

const QVector<QtMsgType>& AbortList()
{
    static const QVector<QtMsgType> list{QtFatalMsg};
    return list;
}

QString LevelTag(QtMsgType type)
{
    switch (type) {
        case QtDebugMsg:
            return QStringLiteral("[Debug]");
        case QtWarningMsg:
            return QStringLiteral("[Warn] ");
        case QtCriticalMsg:
            return QStringLiteral("[Error]");
        case QtFatalMsg:
            return QStringLiteral("[Fatal]");
        case QtInfoMsg:
            return QStringLiteral("[Info] ");
    }
    return QString();
}

}  // namespace

namespace Log {

QString FormatMessage(QtMsgType type, const char* category, const QString& message,
                      const QDateTime& now)
{
    const QDateTime stamped = now.toOffsetFromUtc(now.offsetFromUtc());
    const QString timestamp = stamped.toString(Qt::ISODateWithMs);

    QString tag = LevelTag(type);
    if (category && qstrcmp(category, "default") != 0) {
        const QString categoryPart = QStringLiteral("[%1]").arg(QString::fromUtf8(category));
        // "[Warn] " and "[Info] " keep their own trailing blank before the category.
        tag += categoryPart;
    }

    QString text;
    const QStringList parts = message.split(QLatin1Char('\n'), Qt::KeepEmptyParts);
    for (const QString& part : parts) {
        text += QStringLiteral("%1 %2 %3\n").arg(timestamp, tag, part);
    }
    return text;
}

void LogMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    const QString text =
        FormatMessage(type, context.category, message, QDateTime::currentDateTime());
    Platform::DebuggerOutput(text);

    // A line the log file does not take (no log file, disk full, file gone read-only) goes to
    // stderr rather than being lost.
    bool written = false;
    {
        QMutexLocker locker(&WriteLock());
        QFile& file = LogFile();
        if (file.isOpen()) {
            const QByteArray bytes = text.toUtf8();
            written = file.write(bytes) == bytes.size();
        }
    }
    if (!written) {
        std::fputs(text.toLocal8Bit().constData(), stderr);
    }

    if (AbortList().contains(type)) {
        std::abort();
    }
}

QDateTime RunStartTime()
{
    return kRunStartTime;
}

QString RunStartTimeString()
{
    return kRunStartTime.toString(QStringLiteral("yyyy-MM-dd-HH-mm-ss"));
}

QString LogBasePath()
{
    static const QString base = [] {
        const QString dir = DataDirPath(QStringLiteral("log"));
        if (dir.isNull()) {
            return QString();
        }
        return dir + QLatin1Char('/') + RunStartTimeString();
    }();
    return base;
}

QFile& LogFile()
{
    static QFile file;
    return file;
}

bool OpenLogFile(const QString& fileName)
{
    QString error;
    {
        QMutexLocker locker(&WriteLock());
        QFile& file = LogFile();
        file.setFileName(fileName);
        // Unbuffered: each line reaches the file at once, and a failed write is seen at once.
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text |
                       QIODevice::Unbuffered)) {
            error = file.errorString();
        }
    }
    if (!error.isNull()) {
        qCritical("Open log failed: \"%s\", reason: %s", qUtf8Printable(fileName),
                  qUtf8Printable(error));
        return false;
    }
    return true;
}

void CloseLogFile()
{
    QMutexLocker locker(&WriteLock());
    LogFile().close();
}

}  // namespace Log

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

    QFile& file = LogFile();
    if (file.isOpen()) {
        QMutexLocker locker(&WriteLock());
        file.write(text.toUtf8());
        file.flush();
    } else {
        const QByteArray local = text.toLocal8Bit();
        if (type == QtDebugMsg || type == QtInfoMsg) {
            std::fprintf(stdout, "%s", local.constData());
            std::fflush(stdout);
        } else {
            std::fprintf(stderr, "%s", local.constData());
        }
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
    QFile& file = LogFile();
    file.setFileName(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        qCritical("Open log failed: \"%s\", reason: %s", qUtf8Printable(fileName),
                  qUtf8Printable(file.errorString()));
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

#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

class QFile;

// The run's log: one process-wide message handler formats every message, mirrors it to the
// debugger output and appends it to the run's log file "<data dir>/log/<start>_client.log".
namespace Log {

// The process-wide message handler; install it as the first action of the process.
void LogMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message);

// Formats one message into log lines: one line per text line, each
// "<ISO timestamp with ms and offset> <7-character tag>[<category>] <text>\n".
QString FormatMessage(QtMsgType type, const char* category, const QString& message,
                      const QDateTime& now);

// The start time of the run (taken before main) and its "yyyy-MM-dd-HH-mm-ss" form.
QDateTime RunStartTime();
QString RunStartTimeString();

// "<data dir>/log/<start>" computed once; empty when the data directory cannot be made.
QString LogBasePath();

// The run's client log file, opened by main and closed just before main returns.
QFile& LogFile();
bool OpenLogFile(const QString& fileName);
void CloseLogFile();

}  // namespace Log

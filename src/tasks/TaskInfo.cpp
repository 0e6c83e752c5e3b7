#include "tasks/TaskInfo.h"

TaskInfo::TaskInfo(int type) : type(type), uuid(QUuid::createUuid()) {}

TaskInfo::~TaskInfo()
{
    qCDebug(lcWorker).noquote() << "Deleted task:" << uuid.toString();
}

QDebug operator<<(QDebug debug, const TaskInfo* task)
{
    QDebugStateSaver saver(debug);
    debug.nospace().noquote() << "(" << task->status.load() << ", " << task->uuid.toString() << ")";
    return debug;
}

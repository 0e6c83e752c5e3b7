#pragma once

#include <QSharedPointer>

class SDKUploadTask;

// The status of a queued upload. A finished upload has none: its task leaves the queue.
enum UploadStatus : int
{
    Waiting = 0,
    Uploading = 1,
    Paused = 2,
    Stopped = 3,
    Failed = 4,
    Invalid = 5,  // final: never started, paused or resumed again; only cancel removes it
};

using SharedUploadTaskPtr = QSharedPointer<SDKUploadTask>;

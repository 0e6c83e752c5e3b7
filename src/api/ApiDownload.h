#pragma once

#include <functional>

#include <QFileInfo>
#include <QList>
#include <QUrl>
#include <QUuid>

#include "api/ApiCollection.h"
#include "api/ApiTransport.h"

// Parallel downloads over libcurl's multi interface: thumbnails, covers and the installer.
// Each file is written atomically (QSaveFile), so a failed or cancelled download never leaves
// a partial or clobbered target behind.
namespace ApiCollection {

// One file to fetch; owned by the caller and kept alive until MultiDownloadRequest returns.
struct _DownloadInfo
{
    QUrl url;
    QFileInfo fileInfo;
    quint64 userData = 0;  // the caller's own bookkeeping
    ProgressFunction progress;
};

// Called once per accepted file that ends, in completion order, on the calling thread.
using DownloadCompletion = std::function<void(_DownloadInfo*, bool)>;

// At most this many transfers run at the same time.
constexpr int kMaxParallelDownloads = 10;

// Downloads every file. NoError when all arrived, DownloadOccurSomeError when any was refused
// or failed, DownloadCancel when *cancelFlag ended running files or stopped the starting of
// further ones. Running files end (reported as not arrived, leaving no file) at the next turn
// of the transfer loop once *cancelFlag is set, without a transfer error; the function returns
// only after they have ended.
RequestError MultiDownloadRequest(const QUuid& requestId, const QList<_DownloadInfo*>& files,
                                  const DownloadCompletion& completion, bool* cancelFlag);

size_t writeToFile(char* data, size_t size, size_t count, void* transfer);

}  // namespace ApiCollection

#include "api/ApiDownload.h"

#include <algorithm>
#include <chrono>
#include <future>
#include <memory>
#include <vector>

#include <QDebug>
#include <QDir>
#include <QSaveFile>

#include "api/ApiRequest.h"

namespace ApiCollection {
namespace {

// One accepted file, owned by MultiDownloadRequest.
struct DownloadTransfer
{
    QUrl url;
    std::unique_ptr<QSaveFile> file;
    ProgressRecord progress;  // handle, last-time value, progress callable and abort flag
    bool* writeAbortFlag = nullptr;
    _DownloadInfo* source = nullptr;
    curl_slist* headers = nullptr;
    CURL* handle = nullptr;  // while in the multi handle
    // QSaveFile::commit flushes the file to the disk, which takes milliseconds (on a busy disk
    // a hundred): it runs beside the transfer loop, so the next file starts at once.
    std::future<bool> commit;
    CURLcode code = CURLE_OK;
    long httpCode = 0;
};

// Target checks before any transfer; false (and the result worsened) for a refused target.
bool AcceptTarget(const QString& path, RequestError* result)
{
    const QFileInfo target(path);
    if (target.isDir()) {
        qCWarning(lcApi) << "download path is dir:" << path;
        *result = DownloadOccurSomeError;
        return false;
    }
    const QString folder = target.absolutePath();
    if (!QFileInfo::exists(folder) && !QDir().mkpath(folder)) {
        qCWarning(lcApi) << "create parent dir failed:" << folder;
        *result = DownloadOccurSomeError;
        return false;
    }
    if (!QFileInfo(folder).isWritable()) {
        qCWarning(lcApi) << "the download path is not writable" << path;
        *result = DownloadOccurSomeError;
        return false;
    }
    return true;
}

CURL* StartTransfer(CURLM* multi, DownloadTransfer* transfer, const QUuid& requestId)
{
    CURL* handle = curl_easy_init();
    if (!handle) {
        return nullptr;
    }
    const QByteArray url = transfer->url.toString(QUrl::FullyEncoded).toUtf8();
    curl_easy_setopt(handle, CURLOPT_URL, url.constData());
    curl_easy_setopt(handle, CURLOPT_PRIVATE, transfer);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &writeToFile);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, transfer);
    transfer->headers = makeHeaderList(requestId, nullptr);
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, transfer->headers);
    if (transfer->progress.progress) {
        transfer->progress.handle = handle;
        curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &transferProgress);
        curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &transfer->progress);
        curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    }
    setCommonOptions(handle, requestId);
    if (curl_multi_add_handle(multi, handle) != CURLM_OK) {
        curl_easy_cleanup(handle);
        return nullptr;
    }
    transfer->handle = handle;
    return handle;
}

// Why a finished transfer cannot be committed, or an empty text.
QString TransferError(DownloadTransfer* transfer, CURLcode code, long httpCode)
{
    if (code != CURLE_OK) {
        return QStringLiteral("CURLE is not OK.");
    }
    if (httpCode != 200) {
        return QStringLiteral("http code is not 200.");
    }
    if (!transfer->file->isOpen()) {
        return QStringLiteral("file handle is not open: ") + transfer->file->errorString();
    }
    return QString();
}

void ReportFailure(DownloadTransfer* transfer, const QString& error, CURLcode code, long httpCode,
                   const QUuid& requestId)
{
    qCCritical(lcApi) << "curl download failed:" << error << requestId;
    qCCritical(lcApi).noquote() << QStringLiteral("curl result: %1(%2), http code: %3, url:")
                                       .arg(QString::fromUtf8(curl_easy_strerror(code)))
                                       .arg(int(code))
                                       .arg(httpCode)
                                << transfer->url.toString();
    transfer->file->cancelWriting();
}

}  // namespace

size_t writeToFile(char* data, size_t size, size_t count, void* transfer)
{
    auto* download = static_cast<DownloadTransfer*>(transfer);
    if (download->writeAbortFlag && *download->writeAbortFlag) {
        // Held until MultiDownloadRequest takes the transfer out: a cancelled file ends as
        // cancelled, not as a failed write (libcurl's error 23).
        return CURL_WRITEFUNC_PAUSE;
    }
    if (!download->file->isOpen() && !download->file->open(QIODevice::WriteOnly)) {
        return 0;
    }
    const qint64 written = download->file->write(data, qint64(size * count));
    return written < 0 ? 0 : size_t(written);
}

RequestError MultiDownloadRequest(const QUuid& requestId, const QList<_DownloadInfo*>& files,
                                  const DownloadCompletion& completion, bool* cancelFlag)
{
    assertNotGuiThread();
    RequestError result = NoError;

    std::vector<std::unique_ptr<DownloadTransfer>> transfers;
    for (_DownloadInfo* info : files) {
        const QString path = info->fileInfo.absoluteFilePath();
        if (!AcceptTarget(path, &result)) {
            continue;
        }
        auto transfer = std::make_unique<DownloadTransfer>();
        transfer->url = info->url;
        transfer->file = std::make_unique<QSaveFile>(path);
        transfer->progress.progress = info->progress;
        transfer->progress.abortFlag = cancelFlag;
        transfer->writeAbortFlag = cancelFlag;
        transfer->source = info;
        transfers.push_back(std::move(transfer));
    }
    const int total = int(transfers.size());

    CURLM* multi = curl_multi_init();
    if (!multi) {
        return total > 0 ? DownloadOccurSomeError : result;
    }
    curl_multi_setopt(multi, CURLMOPT_MAXCONNECTS, long(std::min(kMaxParallelDownloads, total)));

    int next = 0;      // files started or skipped so far
    int inFlight = 0;  // handles in the multi handle
    // Starts the next file; a handle that cannot be made counts as a failed file.
    auto startNext = [&]() {
        DownloadTransfer* transfer = transfers[size_t(next++)].get();
        if (StartTransfer(multi, transfer, requestId)) {
            ++inFlight;
            return;
        }
        result = DownloadOccurSomeError;
        if (completion) {
            completion(transfer->source, false);
        }
    };
    // After a finished file: skip one unstarted file when cancelled, else start one.
    auto advance = [&]() {
        if (next >= total) {
            return;
        }
        if (cancelFlag && *cancelFlag) {
            qCDebug(lcApi) << "download cancel, already running num:" << next
                           << ", total num:" << total;
            ++next;
            result = DownloadCancel;
        } else {
            startNext();
        }
    };

    // A running file ended by the cancel flag: no file, no failure.
    auto endCancelled = [&](DownloadTransfer* transfer) {
        qCDebug(lcApi) << "download cancelled:" << transfer->url.toString();
        curl_multi_remove_handle(multi, transfer->handle);
        curl_easy_cleanup(transfer->handle);
        transfer->handle = nullptr;
        transfer->file->cancelWriting();
        --inFlight;
        if (result == NoError) {
            result = DownloadCancel;
        }
        if (completion) {
            completion(transfer->source, false);
        }
        advance();
    };

    std::vector<DownloadTransfer*> committing;
    // Reports the files whose commit has ended (all of them when wait is set).
    auto reapCommits = [&](bool wait) {
        for (auto it = committing.begin(); it != committing.end();) {
            DownloadTransfer* transfer = *it;
            if (!wait &&
                transfer->commit.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
                ++it;
                continue;
            }
            const bool ok = transfer->commit.get();
            if (!ok) {
                ReportFailure(transfer,
                              QStringLiteral("write file failed: ") + transfer->file->errorString(),
                              transfer->code, transfer->httpCode, requestId);
                result = DownloadOccurSomeError;
            }
            if (completion) {
                completion(transfer->source, ok);
            }
            it = committing.erase(it);
        }
    };

    while (next < std::min(kMaxParallelDownloads, total)) {
        startNext();
    }
    while (inFlight > 0 || next < total) {
        reapCommits(false);
        int running = 0;
        curl_multi_perform(multi, &running);
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
            if (message->msg != CURLMSG_DONE) {
                qCWarning(lcApi, "E: CURLMsg (%d)\n", int(message->msg));
                result = DownloadOccurSomeError;
                advance();
                continue;
            }
            CURL* handle = message->easy_handle;
            const CURLcode code = message->data.result;
            DownloadTransfer* transfer = nullptr;
            long httpCode = 0;
            curl_easy_getinfo(handle, CURLINFO_PRIVATE, &transfer);
            if (code == CURLE_ABORTED_BY_CALLBACK && cancelFlag && *cancelFlag) {
                endCancelled(transfer);  // stopped by transferProgress
                continue;
            }
            curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &httpCode);
            const QString error = TransferError(transfer, code, httpCode);
            if (error.isEmpty()) {
                transfer->code = code;
                transfer->httpCode = httpCode;
                QSaveFile* file = transfer->file.get();
                transfer->commit =
                    std::async(std::launch::async, [file] { return file->commit(); });
                committing.push_back(transfer);
            } else {
                ReportFailure(transfer, error, code, httpCode, requestId);
                result = DownloadOccurSomeError;
                if (completion) {
                    completion(transfer->source, false);
                }
            }
            curl_multi_remove_handle(multi, handle);
            curl_easy_cleanup(handle);
            transfer->handle = nullptr;
            --inFlight;
            advance();
        }
        if (cancelFlag && *cancelFlag && inFlight > 0) {
            // Running files end here, without a transfer error; each frees a slot that is
            // skipped like any other.
            for (auto& transfer : transfers) {
                if (transfer->handle) {
                    endCancelled(transfer.get());
                }
            }
        }
        if (inFlight == 0) {
            // Every running file has ended; files that could not be started leave nothing
            // running, so keep starting (or skipping) until the list is done.
            advance();
            continue;
        }
        curl_multi_wait(multi, nullptr, 0, committing.empty() ? 1000 : 2, nullptr);
    }
    reapCommits(true);
    curl_multi_cleanup(multi);

    for (auto& transfer : transfers) {
        curl_slist_free_all(transfer->headers);
    }
    return result;
}

}  // namespace ApiCollection

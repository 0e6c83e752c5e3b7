#include "api/ApiTransport.h"

#include <kavro/Deployment.h>
#include <optional>

#include <QCoreApplication>
#include <QDebug>
#include <QMutex>
#include <QThread>
#include <QVariant>

#include "app/Config.h"

Q_LOGGING_CATEGORY(lcApi, "Api")

namespace {

// Diagnostic switches, read once from the environment before main runs.
int ReadSwitch(const char* name)
{
    bool ok = false;
    const int value = qgetenv(name).toInt(&ok, 10);
    return ok ? value : 0;
}

const long g_curlVerbose = ReadSwitch("CURL_VERBOSE");
const bool g_logTimeElapsed = ReadSwitch("LOG_CURL_TIME_ELAPSED") != 0;
const bool g_logTransferSize = ReadSwitch("LOG_CURL_TRANSFER_SIZE") != 0;

const QString kNetworkGroup = QStringLiteral("NetWorkManager");

void LogTimeElapsed(CURL* handle, const QUuid& requestId)
{
    static const struct
    {
        CURLINFO info;
        const char* label;
    } kTimes[] = {
        {CURLINFO_NAMELOOKUP_TIME_T, "NAMELOOKUP_TIME:"},
        {CURLINFO_CONNECT_TIME_T, "CONNECT_TIME:"},
        {CURLINFO_APPCONNECT_TIME_T, "APPCONNECT_TIME:"},
        {CURLINFO_PRETRANSFER_TIME_T, "PRETRANSFER_TIME:"},
        {CURLINFO_STARTTRANSFER_TIME_T, "STARTTRANSFER_TIME:"},
        {CURLINFO_TOTAL_TIME_T, "TOTAL_TIME:"},
        {CURLINFO_REDIRECT_TIME_T, "REDIRECT_TIME:"},
    };
    qCInfo(lcApi) << "Curl Time Elapsed of" << requestId;
    for (const auto& time : kTimes) {
        curl_off_t value = 0;
        if (curl_easy_getinfo(handle, time.info, &value) == CURLE_OK) {
            const QString text = QStringLiteral("%1.%2")
                                     .arg(qint64(value / 1000000))
                                     .arg(qint64(value % 1000000), 6, 10, QLatin1Char('0'));
            qCInfo(lcApi).noquote() << time.label << text << "s";
        }
    }
}

void LogTransferSize(CURL* handle, const QUuid& requestId)
{
    static const struct
    {
        CURLINFO info;
        const char* label;
    } kSizes[] = {
        {CURLINFO_SIZE_UPLOAD_T, "SIZE_UPLOAD:"},
        {CURLINFO_SIZE_DOWNLOAD_T, "SIZE_DOWNLOAD:"},
        {CURLINFO_SPEED_DOWNLOAD_T, "SPEED_DOWNLOAD:"},
        {CURLINFO_SPEED_UPLOAD_T, "SPEED_UPLOAD:"},
        {CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, "CONTENT_LENGTH_DOWNLOAD:"},
        {CURLINFO_CONTENT_LENGTH_UPLOAD_T, "CONTENT_LENGTH_UPLOAD:"},
    };
    qCInfo(lcApi) << "Curl Transfer Size of" << requestId;
    for (const auto& size : kSizes) {
        curl_off_t value = 0;
        if (curl_easy_getinfo(handle, size.info, &value) == CURLE_OK) {
            qCInfo(lcApi).noquote() << size.label << qint64(value) << "bytes";
        }
    }
}

}  // namespace

namespace ApiCollection {

void setCommonOptions(CURL* handle, const QUuid& requestId)
{
    const Config* config = Config::Global();
    const int proxyType =
        config ? config->Value(kNetworkGroup, QStringLiteral("proxyType")).toInt() : 0;
    if (proxyType != 0) {
        const QString host =
            config->Value(kNetworkGroup, QStringLiteral("proxyHostName")).toString();
        bool portOk = false;
        const int port = config->Value(kNetworkGroup, QStringLiteral("proxyPort")).toInt(&portOk);
        const QString user = config->Value(kNetworkGroup, QStringLiteral("proxyUser")).toString();
        const QString password =
            config->Value(kNetworkGroup, QStringLiteral("proxyPassword")).toString();
        qCInfo(lcApi).noquote() << requestId.toString() << " use proxy: "
                                << QStringLiteral("http://") + host +
                                       (portOk ? QStringLiteral(":%1").arg(port) : QString());
        curl_easy_setopt(handle, CURLOPT_PROXYTYPE, long(CURLPROXY_HTTP));
        curl_easy_setopt(handle, CURLOPT_PROXY, host.toUtf8().constData());
        if (portOk) {
            curl_easy_setopt(handle, CURLOPT_PROXYPORT, long(port));
        }
        if (!user.isEmpty()) {
            curl_easy_setopt(handle, CURLOPT_PROXYUSERNAME, user.toUtf8().constData());
        }
        if (!password.isEmpty()) {
            curl_easy_setopt(handle, CURLOPT_PROXYPASSWORD, password.toUtf8().constData());
        }
    }
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(handle, CURLOPT_DEFAULT_PROTOCOL, "https");
    // libcurl copies string options, so the temporaries below may go at once.
    curl_easy_setopt(handle, CURLOPT_CAINFO, caBundlePath().toUtf8().constData());
    curl_easy_setopt(handle, CURLOPT_VERBOSE, g_curlVerbose);
    curl_easy_setopt(handle, CURLOPT_ACCEPT_ENCODING, "gzip, deflate");
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, 10L);
}

RequestError performRequest(CURL* handle, CURLcode* curlCode, QString* errorText)
{
    RequestContext* context = nullptr;
    curl_easy_getinfo(handle, CURLINFO_PRIVATE, &context);
    char errorBuffer[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorBuffer);

    const CURLcode code = curl_easy_perform(handle);
    // The buffer dies with this frame: libcurl must not keep pointing at it.
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, nullptr);
    if (curlCode) {
        *curlCode = code;
    }
    const QUuid requestId = context ? context->requestId : QUuid();
    if (g_logTimeElapsed) {
        LogTimeElapsed(handle, requestId);
    }
    if (g_logTransferSize) {
        LogTransferSize(handle, requestId);
    }
    if (code == CURLE_OK) {
        return NoError;
    }

    QString text = QString::fromUtf8(curl_easy_strerror(code));
    if (errorBuffer[0] != '\0') {
        text += QStringLiteral("\ncurl failed detail: ") + QString::fromUtf8(errorBuffer);
    }
    if (errorText) {
        *errorText = text;
    }
    if (context && context->abortFlag && *context->abortFlag) {
        return CurlPerformAbort;
    }
    if (code == CURLE_OPERATION_TIMEDOUT) {
        return CurlPerformTimeout;
    }
    return CurlPerformFailed;
}

size_t writeResponse(char* data, size_t size, size_t count, void* context)
{
    auto* request = static_cast<RequestContext*>(context);
    if (request->abortFlag && *request->abortFlag) {
        qCInfo(lcApi) << "request abort in writeFunc" << request->requestId;
        return 0;
    }
    const size_t bytes = size * count;
    if (bytes > 0 && request->response) {
        request->response->append(data, int(bytes));
    }
    return bytes;
}

int transferProgress(void* context, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal,
                     curl_off_t ulnow)
{
    auto* record = static_cast<ProgressRecord*>(context);
    curl_off_t totalTime = 0;
    if (curl_easy_getinfo(record->handle, CURLINFO_TOTAL_TIME_T, &totalTime) == CURLE_OK &&
        totalTime - record->lastTime >= 3000000) {
        record->lastTime = totalTime;
    }
    if (record->progress) {
        record->progress(qint64(dltotal), qint64(dlnow), qint64(ultotal), qint64(ulnow));
    }
    if (record->abortFlag && *record->abortFlag) {
        qCInfo(lcApi) << "request abort in xferinfo";
        return 1;
    }
    return 0;
}

bool escapeValue(CURL* handle, const QString& value, QByteArray* escaped, QString* errorText)
{
    const QByteArray source = value.toUtf8();
    char* result = curl_easy_escape(handle, source.constData(), source.size());
    if (!result) {
        if (errorText) {
            *errorText = QStringLiteral("curl_easy_escape failed");
        }
        qCCritical(lcApi) << "curl_easy_escape() failed,"
                          << "src:" << value << "src bytes:" << source.size();
        return false;
    }
    *escaped = QByteArray(result);
    curl_free(result);
    return true;
}

namespace {

// The deployment handed in by the application; read by every request thread.
QMutex& DeploymentMutex()
{
    static QMutex mutex;
    return mutex;
}

std::optional<Deployment>& HandedDeployment()
{
    static std::optional<Deployment> deployment;
    return deployment;
}

}  // namespace

void UseDeployment(const Deployment& deployment)
{
    QMutexLocker lock(&DeploymentMutex());
    HandedDeployment() = deployment;
}

Deployment CurrentDeployment()
{
    {
        QMutexLocker lock(&DeploymentMutex());
        if (HandedDeployment()) {
            return *HandedDeployment();
        }
    }
    return Deployment::FromConfig(Config::Global());
}

QString caBundlePath()
{
    return CurrentDeployment().caBundlePath;
}

QString platformBaseUrl()
{
    return CurrentDeployment().platformUrl;
}

bool hasUnicodeSupport()
{
    const curl_version_info_data* info = curl_version_info(CURLVERSION_TENTH);
    return info && (info->features & CURL_VERSION_UNICODE) != 0;
}

void logCurlVersion()
{
    qCDebug(lcApi) << "Curl Version:" << curl_version();
    qCDebug(lcApi) << "Curl Unicode support on Windows:" << hasUnicodeSupport();
}

curl_slist* makeHeaderList(const QUuid& requestId, const char* contentType)
{
    curl_slist* headers = curl_slist_append(nullptr, "User-Agent: UploadClient/2.4.2.655f4b54");
    const QByteArray idLine = "__client_uuid: " + requestId.toString().toLatin1();
    headers = curl_slist_append(headers, idLine.constData());
    if (contentType && *contentType) {
        const QByteArray typeLine = QByteArray("Content-Type: ") + contentType;
        headers = curl_slist_append(headers, typeLine.constData());
    }
    return headers;
}

void RegisterMetaTypes()
{
    qRegisterMetaType<RequestError>("ApiCollection::RequestError");
    qRegisterMetaType<ErrorCode>("ApiCollection::ErrorCode");
    qRegisterMetaType<AccountType>("ApiCollection::AccountType");
    qRegisterMetaType<SortMethod>("ApiCollection::SortMethod");
    qRegisterMetaType<VideoInfoTypeFlags>("ApiCollection::VideoInfoTypeFlags");
    qRegisterMetaType<CheckVersionResult>("ApiCollection::CheckVersionResult");
}

}  // namespace ApiCollection

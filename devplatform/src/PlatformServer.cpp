#include "PlatformServer.h"

#include <cerrno>
#include <chrono>
#include <httplib.h>
#include <memory>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <thread>

#include <QDebug>
#include <QDir>
#include <QJsonObject>

#include "AdminEndpoint.h"
#include "ApiEnvelope.h"
#include "CategoryEndpoints.h"
#include "Endpoint.h"
#include "FileHost.h"
#include "GrowingThreadPool.h"
#include "HttpUtil.h"
#include "InfoPages.h"
#include "LoginEndpoint.h"
#include "Seeder.h"
#include "UpdateEndpoint.h"
#include "UploadEndpoint.h"
#include "VideoEndpoints.h"
#include "VideoProcessor.h"

namespace {

const char kTruncateMarker[] = "Kvr-Fault-Truncate";
constexpr uint64_t kMaxReadBody = 16 * 1024 * 1024;
// Far above the connections of any test or demo; each idle kept-alive connection holds one.
constexpr size_t kMaxWorkerThreads = 1024;
constexpr int kListenBacklog = 1024;

}  // namespace

PlatformServer::PlatformServer(const ServerOptions& options)
{
    context_.options = options;
}

PlatformServer::~PlatformServer() = default;

bool PlatformServer::Start(QString* error)
{
    const QDir data(context_.options.dataDir);
    context_.filesDir = data.absoluteFilePath(QStringLiteral("files"));
    context_.uploadsDir = data.absoluteFilePath(QStringLiteral("uploads"));
    if (!QDir().mkpath(context_.filesDir) || !QDir().mkpath(context_.uploadsDir)) {
        *error = QStringLiteral("cannot create the data folder ") + data.absolutePath();
        return false;
    }
    db_ = std::make_unique<Database>(data.absoluteFilePath(QStringLiteral("devplatform.db")));
    if (!db_->Open(error)) {
        return false;
    }
    context_.db = db_.get();
    if (!Seeder(*db_).Seed(context_.options.seed, error)) {
        return false;
    }
    for (const QString& text : context_.options.faults) {
        FaultInjector::Rule rule;
        if (!FaultInjector::ParseRule(text, &rule, error)) {
            return false;
        }
        context_.faults.Add(rule);
    }
    endpoints_.push_back(std::make_unique<UploadEndpoint>(context_));
    endpoints_.push_back(std::make_unique<AdminEndpoint>(context_));
    endpoints_.push_back(std::make_unique<LoginEndpoint>(context_));
    endpoints_.push_back(std::make_unique<CategoryEndpoints>(context_));
    endpoints_.push_back(std::make_unique<VideoEndpoints>(context_));
    endpoints_.push_back(std::make_unique<UpdateEndpoint>(context_));
    endpoints_.push_back(std::make_unique<FileHost>(context_));
    endpoints_.push_back(std::make_unique<InfoPages>(context_));

    http_ =
        std::make_unique<httplib::SSLServer>(context_.options.certFile.toLocal8Bit().constData(),
                                             context_.options.keyFile.toLocal8Bit().constData());
    if (!http_->is_valid()) {
        *error = QStringLiteral("cannot load the certificate or key");
        return false;
    }
    // AES-128-GCM first: the cheapest cipher on hardware with AES instructions. (Read-ahead
    // would save system calls but hides buffered records from cpp-httplib's readiness poll;
    // upload bodies are read by TlsBodyReader, which saves them its own way.)
    SSL_CTX_set_ciphersuites(http_->ssl_context(),
                             "TLS_AES_128_GCM_SHA256:TLS_AES_256_GCM_SHA384:"
                             "TLS_CHACHA20_POLY1305_SHA256");
    // A kept-alive connection holds a worker for its whole life, idle or not: with a fixed
    // pool, a new request would wait for idle connections to time out. The pool grows instead.
    http_->new_task_queue = [] { return new GrowingThreadPool(kMaxWorkerThreads); };
    http_->set_keep_alive_max_count(1000);
    // An answer goes out as a header write and a body write; with Nagle's algorithm the small
    // second write waits for the client's delayed acknowledgement (40 ms on Linux), which on
    // a kept-alive connection adds 40 ms to every small file.
    http_->set_tcp_nodelay(true);
    http_->set_keep_alive_timeout(5);
    http_->set_read_timeout(context_.readTimeoutSeconds);
    http_->set_write_timeout(30);
    // Upload bodies stream to disk; every other body is read whole and is limited in the
    // pre-routing handler.
    http_->set_payload_max_length(static_cast<size_t>(context_.options.maxUploadSize) + 1);
    http_->set_exception_handler(
        [](const httplib::Request& req, httplib::Response& res, std::exception_ptr ep) {
            QString what = QStringLiteral("unknown");
            try {
                std::rethrow_exception(ep);
            } catch (const std::exception& e) {
                what = QString::fromLocal8Bit(e.what());
            } catch (...) {
            }
            qCritical() << "handler failed:" << QString::fromStdString(req.path) << what;
            res.status = 500;
            res.set_content("internal error", "text/plain");
        });

    // cpp-httplib listens with a backlog of 5 (a constant of Debian's shared build, so its
    // macro cannot be raised here): ten connections opened at once, as the client's parallel
    // thumbnail downloads do, overflow it, and each dropped connection request costs its
    // client a one-second retransmission. The listening socket is remembered here and its
    // backlog raised once it is bound.
    auto listenSocket = std::make_shared<socket_t>(INVALID_SOCKET);
    http_->set_socket_options([listenSocket](socket_t sock) {
        httplib::default_socket_options(sock);
        *listenSocket = sock;
    });
    if (context_.options.port == 0) {
        port_ = http_->bind_to_any_port("127.0.0.1");
    } else {
        port_ =
            http_->bind_to_port("127.0.0.1", context_.options.port) ? context_.options.port : -1;
    }
    if (port_ <= 0) {
        *error = QStringLiteral("cannot bind 127.0.0.1:%1").arg(context_.options.port);
        return false;
    }
    if (*listenSocket != INVALID_SOCKET && ::listen(*listenSocket, kListenBacklog) != 0) {
        qWarning() << "cannot raise the listen backlog:" << qt_error_string(errno);
    }
    context_.publicUrl = context_.options.publicUrl.isEmpty()
                             ? QStringLiteral("https://127.0.0.1:%1").arg(port_)
                             : context_.options.publicUrl;

    http_->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        return static_cast<httplib::Server::HandlerResponse>(PreRoute(req, res));
    });
    http_->set_post_routing_handler([](const httplib::Request&, httplib::Response& res) {
        // A "truncated" fault cuts the finished answer in half.
        if (res.has_header(kTruncateMarker)) {
            res.headers.erase(kTruncateMarker);
            res.body.resize(res.body.size() / 2);
            res.set_header("Content-Length", std::to_string(res.body.size()));
        }
    });
    http_->set_logger([](const httplib::Request& req, const httplib::Response& res) {
        qInfo().noquote() << QString::fromStdString(req.method) << QString::fromStdString(req.path)
                          << res.status;
    });

    for (const auto& endpoint : endpoints_) {
        endpoint->Register(*http_);
    }
    return true;
}

int PlatformServer::PreRoute(const httplib::Request& req, httplib::Response& res)
{
    using Handled = httplib::Server::HandlerResponse;
    const QString path = QString::fromStdString(req.path);
    const bool upload = path.startsWith(QLatin1String("/upload/"));
    // Only upload bodies stream; any other body is read whole, so it is kept small.
    if (!upload && req.get_header_value<uint64_t>("Content-Length") > kMaxReadBody) {
        HttpUtil::SetText(res, QStringLiteral("body too large"), 413);
        return static_cast<int>(Handled::Handled);
    }
    if (path.startsWith(QLatin1String("/admin/"))) {
        return static_cast<int>(Handled::Unhandled);
    }
    const auto rule = context_.faults.Take(HttpUtil::Method(req), path, false);
    if (!rule) {
        return static_cast<int>(Handled::Unhandled);
    }
    qInfo() << "fault:" << path << rule->ToJson();
    if (rule->delayMs > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(rule->delayMs));
    }
    if (!rule->HasAnswerFault()) {
        return static_cast<int>(Handled::Unhandled);
    }
    if (rule->body == QLatin1String("truncated")) {
        res.set_header(kTruncateMarker, "1");
        return static_cast<int>(Handled::Unhandled);
    }
    if (rule->body == QLatin1String("malformed")) {
        res.status = rule->status != 0 ? rule->status : 200;
        res.set_content("{\"code\": 200, \"status\": \"succ", "application/json");
    } else if (upload) {
        res.set_header("Tus-Resumable", "1.0.0");
        if (rule->errorCode != 0) {
            res.set_header("Kvr-Error-Code", std::to_string(rule->errorCode));
        }
        HttpUtil::SetJson(
            res,
            QJsonObject{{QStringLiteral("code"), rule->errorCode},
                        {QStringLiteral("message"), QStringLiteral("injected fault")}},
            rule->status != 0 ? rule->status : 400);
    } else if (path.startsWith(QLatin1String("/api/app/"))) {
        HttpUtil::SetJson(
            res,
            QJsonObject{
                {QStringLiteral("code"), rule->errorCode != 0 ? rule->errorCode : rule->status},
                {QStringLiteral("success"), false},
                {QStringLiteral("status"), QStringLiteral("failed")},
                {QStringLiteral("message"), QStringLiteral("injected fault")}},
            rule->status != 0 ? rule->status : 200);
    } else if (rule->errorCode != 0) {
        ApiEnvelope::Failure(res, rule->errorCode, QStringLiteral("injected fault"),
                             QJsonValue::Null, rule->status != 0 ? rule->status : 200);
    } else {
        HttpUtil::SetText(res, QStringLiteral("injected fault"), rule->status);
    }
    // The request's body (if any) is never read; the connection cannot be reused.
    res.set_header("Connection", "close");
    return static_cast<int>(Handled::Handled);
}

bool PlatformServer::Run()
{
    processor_ = std::make_unique<VideoProcessor>(context_);
    processor_->Start();
    const bool ok = http_->listen_after_bind();
    processor_->Stop();
    return ok;
}

void PlatformServer::Stop()
{
    if (http_) {
        http_->stop();
    }
}

#pragma once

#include <mutex>
#include <optional>

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

// Faults the server injects on purpose, off until a --fault flag or the admin endpoint adds a
// rule. A rule applies to requests whose path starts with its prefix (and whose method matches,
// when it names one), for `times` requests or for ever (-1).
class FaultInjector
{
public:
    struct Rule
    {
        QString path;           // path prefix, e.g. /v3/video/list-video or /upload/files/
        QString method;         // empty: any
        int delayMs = 0;        // wait before answering
        int status = 0;         // answer with this HTTP status instead
        int errorCode = 0;      // answer with this platform error code instead
        QString body;           // "malformed" or "truncated" answer body
        qint64 dropAfter = -1;  // uploads: drop the connection after this many body bytes
        qint64 throttle = 0;    // uploads: at most this many bytes per second
        int times = -1;         // requests left; -1: unlimited

        QJsonObject ToJson() const;
        bool IsStream() const { return dropAfter >= 0 || throttle > 0; }
        bool HasAnswerFault() const { return status != 0 || errorCode != 0 || !body.isEmpty(); }
    };

    // "path=/v3/...,delay=200,status=503,code=105,body=malformed,drop=1048576,throttle=...,
    // method=PATCH,times=2"
    static bool ParseRule(const QString& text, Rule* rule, QString* error);
    static bool RuleFromJson(const QJsonObject& object, Rule* rule, QString* error);

    void Add(const Rule& rule);
    void Clear();
    QJsonArray List() const;

    // The first matching rule, with its use counted. Stream rules (drop, throttle) are taken
    // by the upload endpoint while it reads a body, the others before a request is routed.
    std::optional<Rule> Take(const QString& method, const QString& path, bool stream);

private:
    mutable std::mutex mutex_;
    QList<Rule> rules_;
};

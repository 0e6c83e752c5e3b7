#include "FileHost.h"

#include <httplib.h>
#include <memory>

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QVariant>

#include "HttpUtil.h"
#include "ImageGenerator.h"
#include "PlatformContext.h"
#include "UpdatePackages.h"

namespace {

const char* ContentType(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("png")) {
        return "image/png";
    }
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg")) {
        return "image/jpeg";
    }
    if (suffix == QLatin1String("gif")) {
        return "image/gif";
    }
    if (suffix == QLatin1String("bmp")) {
        return "image/bmp";
    }
    return "application/octet-stream";
}

}  // namespace

void FileHost::Register(httplib::Server& server)
{
    server.Get(R"(/files/(.+))", [this](const httplib::Request& req, httplib::Response& res) {
        const QString relative = QString::fromStdString(req.matches[1]);
        const QStringList segments = relative.split(QLatin1Char('/'));
        if (segments.contains(QStringLiteral("..")) || segments.contains(QString()) ||
            relative.contains(QLatin1Char('\\'))) {
            HttpUtil::SetText(res, QStringLiteral("not found"), 404);
            return;
        }
        QString path = context_.filesDir + QLatin1Char('/') + relative;
        if (relative.startsWith(QLatin1String(kInstallerPrefix))) {
            const QString offered = UpdatePackages::LocalFile(
                context_.options, relative.mid(int(qstrlen(kInstallerPrefix))));
            if (!offered.isEmpty()) {
                path = offered;
            }
        }
        if (!QFileInfo(path).isFile() && !DrawPicture(relative, path)) {
            HttpUtil::SetText(res, QStringLiteral("not found"), 404);
            return;
        }
        auto file = std::make_shared<QFile>(path);
        if (!file->open(QIODevice::ReadOnly)) {
            HttpUtil::SetText(res, QStringLiteral("not found"), 404);
            return;
        }
        res.status = 200;
        // Streamed in pieces: an installer is never held in memory whole.
        res.set_content_provider(
            static_cast<size_t>(file->size()), ContentType(path),
            [file](size_t offset, size_t length, httplib::DataSink& sink) {
                if (!file->seek(static_cast<qint64>(offset))) {
                    return false;
                }
                const QByteArray chunk =
                    file->read(static_cast<qint64>(qMin<size_t>(length, 256 * 1024)));
                if (chunk.isEmpty()) {
                    return false;
                }
                return sink.write(chunk.constData(), static_cast<size_t>(chunk.size()));
            });
    });
}

bool FileHost::DrawPicture(const QString& relative, const QString& path) const
{
    static const QRegularExpression form(
        QStringLiteral("^([0-9a-f]{10})/([0-9a-f]{32}_[0-9a-zA-Z])/"
                       "(thumb|cover|snap_([0-9])|snapbig_([0-9]))\\.png$"));
    const auto match = form.match(relative);
    if (!match.hasMatch()) {
        return false;
    }
    const QString vid = match.captured(2);
    const QString kind = match.captured(3);
    {
        auto lock = context_.db->Lock();
        QSqlQuery q = context_.db->Query();
        q.prepare(
            QStringLiteral("SELECT v.snapshots FROM videos v JOIN accounts a ON a.id = v.owner "
                           "WHERE v.vid = ? AND a.user_id = ?"));
        q.addBindValue(vid);
        q.addBindValue(match.captured(1));
        if (!Database::Exec(q) || !q.next()) {
            return false;
        }
        const int snapshots = q.value(0).toInt();
        const int index = kind.startsWith(QLatin1String("snapbig")) ? match.captured(5).toInt()
                          : match.captured(4).isEmpty()             ? 0
                                                                    : match.captured(4).toInt();
        if (snapshots == 0 || index >= snapshots) {
            return false;
        }
    }
    const bool big = kind == QLatin1String("cover") || kind.startsWith(QLatin1String("snapbig"));
    const int variant =
        kind.startsWith(QLatin1String("snap")) ? kind.section(QLatin1Char('_'), 1).toInt() + 1 : 0;
    const quint32 seed = static_cast<quint32>(qHash(vid));
    const QByteArray png = big ? ImageGenerator::Png(480, 270, seed, variant)
                               : ImageGenerator::Png(160, 90, seed, variant);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(png) != png.size() || !file.commit()) {
        qWarning() << "cannot store picture:" << path;
        return false;
    }
    return true;
}

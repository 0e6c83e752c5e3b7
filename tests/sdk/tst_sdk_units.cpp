// Pure parts of the upload library: metadata, vid, signature, resume record, URLs (the
// checksum is tested with the platform's in tst_hashes).
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "RequestSigner.h"
#include "ResumeRecord.h"
#include "TusMetadata.h"
#include "Url.h"
#include "VideoId.h"
#include "common/TestLiterals.h"

class TestSdkUnits : public QObject
{
    Q_OBJECT

private slots:
    void metadataEncoding()
    {
        kvr::TusMetadata meta;
        const QString title = "视频 a,b c"_s;
        meta.Add("vid", "0123_x");
        meta.Add("title", title.toStdString());
        meta.Add("desc", "");
        const QString encoded = QString::fromStdString(meta.Encode());
        const QStringList pairs = encoded.split(QLatin1Char(','));
        QCOMPARE(pairs.size(), 3);
        QCOMPARE(pairs[0], "vid "_s + QString::fromLatin1(QByteArray("0123_x").toBase64()));
        const QStringList titlePair = pairs[1].split(QLatin1Char(' '));
        QCOMPARE(titlePair.size(), 2);
        QCOMPARE(titlePair[0], "title"_s);
        QCOMPARE(QString::fromUtf8(QByteArray::fromBase64(titlePair[1].toLatin1())), title);
        QCOMPARE(pairs[2], "desc"_s);
    }

    void vidDerivation()
    {
        const std::string vid = kvr::VideoId::Derive("u42", "/data/a.mp4", 1234, 1700000000, 77);
        const QByteArray expected =
            QCryptographicHash::hash("u42\n/data/a.mp4\n1234\n1700000000\n77",
                                     QCryptographicHash::Md5)
                .toHex() +
            "_u";
        QCOMPARE(QByteArray::fromStdString(vid), expected);
        QCOMPARE(vid.size(), size_t(34));
        QVERIFY(kvr::VideoId::IsWellFormed(vid));
        // Any change of file or category gives another vid.
        QVERIFY(kvr::VideoId::Derive("u42", "/data/a.mp4", 1234, 1700000001, 77) != vid);
        QVERIFY(kvr::VideoId::Derive("u42", "/data/a.mp4", 1234, 1700000000, 78) != vid);
    }

    void vidWellFormed_data()
    {
        QTest::addColumn<QString>("vid");
        QTest::addColumn<bool>("ok");
        QTest::newRow("derived") << "0123456789abcdef0123456789abcdef_u"_s << true;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("path") << "../etc/passwd"_s << false;
        QTest::newRow("slash") << "a/b"_s << false;
    }

    void vidWellFormed()
    {
        QFETCH(QString, vid);
        QFETCH(bool, ok);
        QCOMPARE(kvr::VideoId::IsWellFormed(vid.toStdString()), ok);
    }

    // The platform checks the signature itself on every upload of tst_sdk_upload and refuses a
    // stale time or a missing nonce; here the headers' form.
    void signature()
    {
        QMap<QString, QString> values;
        for (const auto& header :
             kvr::RequestSigner("app1", "s3cret").Headers("POST", "/", "", "1")) {
            const QString line = QString::fromStdString(header);
            values[line.section(QLatin1Char(':'), 0, 0)] =
                line.section(QLatin1Char(':'), 1).trimmed();
        }
        QCOMPARE(values.keys(), (QStringList{"Kvr-App-Id"_s, "Kvr-Nonce"_s, "Kvr-Signature"_s,
                                             "Kvr-Timestamp"_s}));
        QCOMPARE(values["Kvr-App-Id"_s], "app1"_s);
        QVERIFY(QRegularExpression("^[0-9a-f]{16}$"_s).match(values["Kvr-Nonce"_s]).hasMatch());
        // Without an appId a plain tus request goes out.
        QVERIFY(kvr::RequestSigner("", "").Headers("POST", "/", "", "1").empty());
    }

    void resumeRecordRoundTrip()
    {
        QTemporaryDir dir;
        const std::string cache = dir.path().toStdString();
        kvr::ResumeRecord record{"https://h/upload/files/x", 1000, 1700000000, 600,
                                 0xFFFFFFFFFFFFFFF0ULL};
        QVERIFY(record.Save(cache, "vid_a"));
        kvr::ResumeRecord loaded;
        QVERIFY(kvr::ResumeRecord::Load(cache, "vid_a", &loaded));
        QCOMPARE(QString::fromStdString(loaded.url), QString::fromStdString(record.url));
        QCOMPARE(loaded.size, record.size);
        QCOMPARE(loaded.mtime, record.mtime);
        QCOMPARE(loaded.offset, record.offset);
        QCOMPARE(loaded.crc, record.crc);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"vid_a.resume"_s});
        kvr::ResumeRecord::Remove(cache, "vid_a");
        QVERIFY(!kvr::ResumeRecord::Load(cache, "vid_a", &loaded));
    }

    void resumeRecordRejectsDamage_data()
    {
        QTest::addColumn<QByteArray>("text");
        const QByteArray good =
            "kvr-resume 1\nurl=https://h/u\nsize=10\nmtime=5\noffset=4\ncrc=9\n";
        QTest::newRow("good") << good;  // the control: this one must load
        QTest::newRow("torn") << good.left(30);
        QTest::newRow("other magic") << QByteArray(good).replace("kvr-resume 1", "kvr-resume 9");
        QTest::newRow("offset past size") << QByteArray(good).replace("offset=4", "offset=11");
        QTest::newRow("negative") << QByteArray(good).replace("size=10", "size=-1");
        QTest::newRow("garbage crc") << QByteArray(good).replace("crc=9", "crc=9x");
        QTest::newRow("empty") << QByteArray();
    }

    void resumeRecordRejectsDamage()
    {
        QFETCH(QByteArray, text);
        QTemporaryDir dir;
        QFile file(dir.filePath("v.resume"_s));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        kvr::ResumeRecord loaded;
        const bool ok = kvr::ResumeRecord::Load(dir.path().toStdString(), "v", &loaded);
        QCOMPARE(ok, QByteArray(QTest::currentDataTag()) == "good");
    }

    void urlResolve_data()
    {
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("expected");
        QTest::newRow("absolute path") << "/upload/files/abc"_s
                                       << "https://127.0.0.1:8443/upload/files/abc"_s;
        QTest::newRow("relative") << "abc"_s
                                  << "https://127.0.0.1:8443/upload/files/abc"_s;
        QTest::newRow("full URL") << "https://other:1/x/y"_s
                                  << "https://other:1/x/y"_s;
    }

    void urlResolve()
    {
        QFETCH(QString, location);
        QFETCH(QString, expected);
        const std::string resolved =
            kvr::Url::Resolve("https://127.0.0.1:8443/upload/files/", location.toStdString());
        QCOMPARE(QString::fromStdString(resolved), expected);
        QCOMPARE(QString::fromStdString(kvr::Url::Path(resolved + "?q=1")), QUrl(expected).path());
    }
};

QTEST_MAIN(TestSdkUnits)
#include "tst_sdk_units.moc"

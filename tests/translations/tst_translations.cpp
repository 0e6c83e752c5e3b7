// Every tr()/translate() text of the code has a finished Chinese translation: lupdate scans the
// sources into a temporary file, and each of its messages must be translated in the committed
// translation file (zh_CN.ts for everything, widgets.ts for the common widgets).
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

struct Message
{
    QString translation;
    bool finished = false;
};

// (context, source) -> translation state of a TS file.
using Catalogue = QHash<QPair<QString, QString>, Message>;

bool ReadCatalogue(const QString& path, Catalogue* catalogue, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    QXmlStreamReader xml(&file);
    QString context;
    QString source;
    Message message;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const QStringRef name = xml.name();
            if (name == QLatin1String("context")) {
                context.clear();
            } else if (name == QLatin1String("name")) {
                context = xml.readElementText();
            } else if (name == QLatin1String("message")) {
                source.clear();
                message = Message();
            } else if (name == QLatin1String("source")) {
                source = xml.readElementText();
            } else if (name == QLatin1String("translation")) {
                const QStringRef type = xml.attributes().value(QLatin1String("type"));
                message.finished = type.isEmpty();
                message.translation = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            }
        } else if (xml.isEndElement() && xml.name() == QLatin1String("message")) {
            catalogue->insert({context, source}, message);
        }
    }
    if (xml.hasError()) {
        *error = xml.errorString();
        return false;
    }
    return true;
}

// Runs lupdate over the given source folders into a fresh TS file and reads it.
bool ScanSources(const QStringList& folders, Catalogue* catalogue, QString* error)
{
    QTemporaryDir dir;
    const QString ts = dir.filePath(QStringLiteral("scan.ts"));
    QProcess lupdate;
    QStringList arguments{QStringLiteral("-recursive"), QStringLiteral("-locations"),
                          QStringLiteral("none"), QStringLiteral("-silent")};
    arguments << folders << QStringLiteral("-ts") << ts;
    lupdate.start(QStringLiteral(KAVRO_LUPDATE), arguments);
    if (!lupdate.waitForFinished(120000) || lupdate.exitCode() != 0) {
        *error = QString::fromLocal8Bit(lupdate.readAllStandardError());
        return false;
    }
    return ReadCatalogue(ts, catalogue, error);
}

}  // namespace

class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    void everyTextTranslated_data();
    void everyTextTranslated();
};

void TestTranslations::everyTextTranslated_data()
{
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QString>("tsFile");
    const QString src = QStringLiteral(KAVRO_SRC_DIR);
    QTest::newRow("zh_CN") << QStringList{src} << QStringLiteral("zh_CN.ts");
    QTest::newRow("widgets") << QStringList{src + QStringLiteral("/ui/common")}
                             << QStringLiteral("widgets.ts");
}

void TestTranslations::everyTextTranslated()
{
    QFETCH(QStringList, folders);
    QFETCH(QString, tsFile);

    Catalogue scanned;
    QString error;
    QVERIFY2(ScanSources(folders, &scanned, &error), qPrintable(error));

    Catalogue committed;
    QVERIFY2(ReadCatalogue(QStringLiteral(KAVRO_TRANSLATIONS_DIR "/") + tsFile, &committed, &error),
             qPrintable(error));

    QStringList missing;
    for (auto it = scanned.cbegin(); it != scanned.cend(); ++it) {
        const Message message = committed.value(it.key());
        if (!message.finished || message.translation.trimmed().isEmpty()) {
            missing << QStringLiteral("%1: \"%2\"").arg(it.key().first, it.key().second);
        }
    }
    missing.sort();
    QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("untranslated in %1:\n  ").arg(tsFile) +
                                           missing.join(QStringLiteral("\n  "))));
}

QTEST_GUILESS_MAIN(TestTranslations)
#include "tst_translations.moc"

// Every tr()/translate() text of the code has a finished Chinese translation: lupdate scans the
// sources into a temporary file, and each of its messages must be translated in the committed
// translation file (zh_CN.ts for everything, widgets.ts for the common widgets).
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include "common/TestLiterals.h"

namespace {

// (context, source) of messages of a TS file.
using Keys = QSet<QPair<QString, QString>>;

// The messages of a TS file or, with translatedOnly, those with a finished, non-empty translation.
bool ReadMessages(const QString& path, bool translatedOnly, Keys* keys, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    QXmlStreamReader xml(&file);
    QString context;
    QString source;
    // A context's <name> comes before its messages, a message's <source> before its <translation>.
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            const bool finished = xml.attributes().value(QLatin1String("type")).isEmpty();
            const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            if (!translatedOnly || (finished && !text.trimmed().isEmpty())) {
                keys->insert({context, source});
            }
        }
    }
    if (xml.hasError()) {
        *error = xml.errorString();
        return false;
    }
    return true;
}

// Runs lupdate over the given source folders into a fresh TS file and reads it.
bool ScanSources(const QStringList& folders, Keys* keys, QString* error)
{
    QTemporaryDir dir;
    const QString ts = dir.filePath("scan.ts"_s);
    QProcess lupdate;
    QStringList arguments{"-recursive"_s, "-locations"_s, "none"_s, "-silent"_s};
    arguments << folders << "-ts"_s << ts;
    lupdate.start(QStringLiteral(KAVRO_LUPDATE), arguments);
    if (!lupdate.waitForFinished(120000) || lupdate.exitCode() != 0) {
        *error = QString::fromLocal8Bit(lupdate.readAllStandardError());
        return false;
    }
    return ReadMessages(ts, false, keys, error);
}

}  // namespace

class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    void everyTextTranslated_data()
    {
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<QString>("tsFile");
        const QString src = QStringLiteral(KAVRO_SRC_DIR);
        QTest::newRow("zh_CN") << QStringList{src} << "zh_CN.ts"_s;
        QTest::newRow("widgets") << QStringList{src + "/ui/common"_s} << "widgets.ts"_s;
    }

    void everyTextTranslated()
    {
        QFETCH(QStringList, folders);
        QFETCH(QString, tsFile);

        Keys scanned;
        QString error;
        QVERIFY2(ScanSources(folders, &scanned, &error), qPrintable(error));

        Keys translated;
        QVERIFY2(ReadMessages(QStringLiteral(KAVRO_TRANSLATIONS_DIR "/") + tsFile, true,
                              &translated, &error),
                 qPrintable(error));

        QStringList missing;
        for (const auto& key : qAsConst(scanned)) {
            if (!translated.contains(key)) {
                missing << "%1: \"%2\""_s.arg(key.first, key.second);
            }
        }
        missing.sort();
        QVERIFY2(missing.isEmpty(),
                 qPrintable("untranslated in %1:\n  "_s.arg(tsFile) + missing.join("\n  "_s)));
    }
};

QTEST_GUILESS_MAIN(TestTranslations)
#include "tst_translations.moc"

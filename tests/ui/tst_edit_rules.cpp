// The rules under the batch vid search and the own-cover upload, without a window: what a vid
// is, how pasted text is cut, the tip a round of offers ends in, reading imported files, the
// template, and the limits an own cover is checked against.
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include "models/CoverFileCheck.h"
#include "models/VidCollection.h"
#include "models/VidRule.h"

namespace {

const QString kStem = QStringLiteral("0123456789abcdef0123456789abcdef");

QString Vid(int i)
{
    return QStringLiteral("%1_%2").arg(QString::number(0x10000000 + i, 16).repeated(4)).arg(i % 10);
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace

class TestEditRules : public QObject
{
    Q_OBJECT

private slots:
    void vidRule_data();
    void vidRule();
    void split_data();
    void split();
    void report_data();
    void report();
    void hundredIsTheCap();
    void importCsvAndTxt();
    void templateHasTenValidLines();
    void coverLimits_data();
    void coverLimits();
};

void TestEditRules::vidRule_data()
{
    QTest::addColumn<QString>("vid");
    QTest::addColumn<bool>("valid");
    QTest::newRow("34, _ after 32") << kStem + QStringLiteral("_1") << true;
    QTest::newRow("letter after _") << kStem + QStringLiteral("_x") << true;
    QTest::newRow("33 characters") << kStem + QStringLiteral("_") << false;
    QTest::newRow("35 characters") << kStem + QStringLiteral("_12") << false;
    QTest::newRow("_ after 31") << kStem.left(31) + QStringLiteral("_12") << false;
    QTest::newRow("_ after 33") << kStem + QStringLiteral("a_") << false;
    QTest::newRow("two _") << kStem.left(31) + QStringLiteral("__1") << false;
    QTest::newRow("no _") << kStem + QStringLiteral("12") << false;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("surrounding space")
        << QStringLiteral(" ") + kStem + QStringLiteral("_") << false;
}

void TestEditRules::vidRule()
{
    QFETCH(QString, vid);
    QFETCH(bool, valid);
    QCOMPARE(VidRule::IsValid(vid), valid);
}

void TestEditRules::split_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("tokens");
    const QString a = kStem + QStringLiteral("_1");
    const QString b = kStem + QStringLiteral("_2");
    const QString c = kStem + QStringLiteral("_3");
    QTest::newRow("commas") << a + QStringLiteral(",") + b << QStringList{a, b};
    QTest::newRow("comma before space") << a + QStringLiteral(", ") + b + QStringLiteral(" ") + c
                                        << QStringList{a, b + QStringLiteral(" ") + c};
    QTest::newRow("semicolon before space") << a + QStringLiteral(";") + b + QStringLiteral(" ") + c
                                            << QStringList{a, b + QStringLiteral(" ") + c};
    QTest::newRow("spaces") << a + QStringLiteral("  ") + b << QStringList{a, b};
    QTest::newRow("crlf") << a + QStringLiteral("\r\n") + b + QStringLiteral("\r\n")
                          << QStringList{a, b};
    QTest::newRow("lf") << a + QStringLiteral("\n") + b << QStringList{a, b};
    QTest::newRow("cr") << a + QStringLiteral("\r") + b << QStringList{a, b};
    QTest::newRow("one") << a << QStringList{a};
    QTest::newRow("trailing comma") << a + QStringLiteral(",") << QStringList{a};
}

void TestEditRules::split()
{
    QFETCH(QString, text);
    QFETCH(QStringList, tokens);
    QCOMPARE(VidRule::Split(text), tokens);
}

void TestEditRules::report_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("report");
    QTest::addColumn<int>("added");
    QTest::addColumn<int>("invalid");
    QTest::addColumn<int>("same");
    using R = VidCollection::Report;
    const QString two = Vid(1) + QStringLiteral(",") + Vid(2);
    QTest::newRow("added") << 0 << two << int(R::Some) << 2 << 0 << 0;
    QTest::newRow("added and invalid")
        << 0 << two + QStringLiteral(",nope") << int(R::SomeAndErrors) << 2 << 1 << 0;
    QTest::newRow("all listed already")
        << 3 << Vid(0) + QStringLiteral(",") + Vid(1) << int(R::Same) << 0 << 0 << 2;
    QTest::newRow("only invalid") << 0 << QStringLiteral("a,b") << int(R::None) << 0 << 2 << 0;
    const QString three =
        Vid(200) + QStringLiteral(",") + Vid(201) + QStringLiteral(",") + Vid(202);
    // One more than the room is still "added": only past 100 in all does the cap speak.
    QTest::newRow("up to the cap")
        << 99 << Vid(200) + QStringLiteral(",") + Vid(201) << int(R::Some) << 1 << 0 << 1;
    QTest::newRow("over the cap") << 99 << three << int(R::MoreThanMax) << 1 << 0 << 2;
    QTest::newRow("over the cap with invalid")
        << 99 << three + QStringLiteral(",bad") << int(R::SomeAndErrors) << 1 << 1 << 2;
}

void TestEditRules::report()
{
    QFETCH(int, before);
    QFETCH(QString, text);
    VidCollection vids;
    for (int i = 0; i < before; ++i) {
        QCOMPARE(vids.Add(Vid(i)), VidCollection::Offer::Added);
    }
    VidCollection::Tally tally = vids.BeginTally();
    vids.OfferText(text, &tally);
    QTEST(tally.added, "added");
    QTEST(tally.invalid, "invalid");
    QTEST(tally.same, "same");
    QTEST(int(VidCollection::ReportOf(tally)), "report");
}

void TestEditRules::hundredIsTheCap()
{
    VidCollection vids;
    for (int i = 0; i < VidRule::kMaxVids; ++i) {
        QCOMPARE(vids.Add(Vid(i)), VidCollection::Offer::Added);
    }
    QCOMPARE(vids.Add(Vid(100)), VidCollection::Offer::Full);
    QCOMPARE(vids.Add(Vid(5)), VidCollection::Offer::Exists);
    QCOMPARE(vids.Count(), 100);
    QVERIFY(vids.Remove(Vid(5)));
    QCOMPARE(vids.Add(Vid(100)), VidCollection::Offer::Added);
    QCOMPARE(vids.Vids().last(), Vid(100));
}

void TestEditRules::importCsvAndTxt()
{
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("vids.csv"));
    const QString txt = dir.filePath(QStringLiteral("vids.txt"));
    // A BOM, a header, a vid per line, two on one line, CRLF endings and blank lines.
    QVERIFY(WriteFile(csv, "\xEF\xBB\xBFvid\r\n" + Vid(1).toUtf8() + ",\r\n" + Vid(2).toUtf8() +
                               "," + Vid(3).toUtf8() + "\r\n\r\n" + Vid(1).toUtf8() + "\r\n"));
    QVERIFY(WriteFile(txt, Vid(4).toUtf8() + ";" + Vid(5).toUtf8() + "\n" + Vid(6).toUtf8() + " " +
                               Vid(7).toUtf8() + "\n" + Vid(8).toUtf8() + "x\n\t" +
                               Vid(9).toUtf8() + "\n"));
    VidCollection vids;
    VidCollection::Tally tally = vids.BeginTally();
    QVERIFY(vids.OfferFile(csv, &tally));
    QVERIFY(vids.OfferFile(txt, &tally));
    QVERIFY(!vids.OfferFile(dir.filePath(QStringLiteral("missing.csv")), &tally));
    QCOMPARE(vids.Vids(),
             (QStringList{Vid(1), Vid(2), Vid(3), Vid(4), Vid(5), Vid(6), Vid(7), Vid(9)}));
    QCOMPARE(tally.added, 8);
    QCOMPARE(tally.invalid, 2);  // the header and the 35-character line
    QCOMPARE(tally.same, 1);
}

void TestEditRules::templateHasTenValidLines()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kvr_template_vids.csv"));
    QVERIFY(VidRule::WriteTemplateFile(path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.endsWith('\n'));
    const QList<QByteArray> lines = bytes.trimmed().split('\n');
    QCOMPARE(lines.size(), 10);
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines.at(i));
        QVERIFY2(VidRule::IsValid(line), qPrintable(line));
        QVERIFY(line.endsWith(QStringLiteral("_%1").arg(i)));
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{32}_")).match(line).hasMatch());
    }
    QVERIFY(!VidRule::WriteTemplateFile(dir.filePath(QStringLiteral("no/such/folder/t.csv"))));
}

void TestEditRules::coverLimits_data()
{
    QTest::addColumn<QSize>("pixels");
    QTest::addColumn<qint64>("padTo");  // 0: the image as encoded
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<int>("result");
    using R = CoverFileCheck::Result;
    QTest::newRow("1920x1080, 5 MiB")
        << QSize(1920, 1080) << CoverFileCheck::kMaxBytes << QByteArray("PNG") << int(R::Ok);
    QTest::newRow("one byte more") << QSize(1920, 1080) << CoverFileCheck::kMaxBytes + 1
                                   << QByteArray("PNG") << int(R::TooLarge);
    QTest::newRow("one pixel wider")
        << QSize(1921, 1080) << qint64(0) << QByteArray("PNG") << int(R::ResolutionTooLarge);
    QTest::newRow("one pixel higher")
        << QSize(1920, 1081) << qint64(0) << QByteArray("JPG") << int(R::ResolutionTooLarge);
    QTest::newRow("2000x1200") << QSize(2000, 1200) << qint64(0) << QByteArray("PNG")
                               << int(R::ResolutionTooLarge);
    QTest::newRow("6 MiB") << QSize(640, 360) << qint64(6) * 1024 * 1024 << QByteArray("PNG")
                           << int(R::TooLarge);
    QTest::newRow("small bmp") << QSize(64, 36) << qint64(0) << QByteArray("BMP") << int(R::Ok);
    QTest::newRow("not an image") << QSize() << qint64(0) << QByteArray() << int(R::Unreadable);
}

void TestEditRules::coverLimits()
{
    QFETCH(QSize, pixels);
    QFETCH(qint64, padTo);
    QFETCH(QByteArray, format);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cover.img"));
    if (format.isEmpty()) {
        QVERIFY(WriteFile(path, "this is text, not a picture\n"));
    } else {
        QImage image(pixels, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        if (!image.save(path, format.constData())) {
            QSKIP("this Qt cannot write the format");
        }
    }
    if (padTo > 0) {
        // Trailing bytes after the image's end: the picture still reads, the file grows.
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.size() <= padTo);
        QVERIFY(file.resize(padTo));
    }
    QSize read;
    QTEST(int(CoverFileCheck::Check(path, &read)), "result");
    if (!format.isEmpty() && padTo <= CoverFileCheck::kMaxBytes) {
        QCOMPARE(read, pixels);
    }
    QCOMPARE(int(CoverFileCheck::Check(dir.filePath(QStringLiteral("missing.png")))),
             int(CoverFileCheck::Result::Missing));
}

QTEST_MAIN(TestEditRules)
#include "tst_edit_rules.moc"

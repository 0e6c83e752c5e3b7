// The library models without a server: the video table's texts and roles, the category tree's
// index and path operations, the filter proxy, the vid and own-cover rules (against the platform:
// tst_library). QAbstractItemModelTester watches the models while they change.
#include <QAbstractItemModelTester>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "common/TestLiterals.h"
#include "models/CategoryTreeModel.h"
#include "models/CoverFileCheck.h"
#include "models/RecursiveFilterProxyModel.h"
#include "models/VidCollection.h"
#include "models/VidRule.h"
#include "models/VideoTableModel.h"
#include "tasks/CategoryTreeModelWorker.h"
#include "upload/SDKManager.h"

namespace {

using Role = CategoryTreeModel::DataRole;
using VRole = VideoTableModel::DataRole;
using Column = VideoTableModel::Column;
using Tester = QAbstractItemModelTester;

QStandardItem* Category(qulonglong id, const QString& name, const QString& path, qulonglong parent)
{
    auto* item = new QStandardItem(name);
    item->setData(id, int(Role::CateId));
    item->setData(path, int(Role::CateTree));
    item->setData(parent, int(Role::ParentCateId));
    return item;
}

// Library(1) > Courses(2) > Mathematics(4) > Algebra(6)
//                        > Physics(5)
//            > Marketing(3) > Campaigns(7)
void BuildTree(CategoryTreeModel* model)
{
    QStandardItem* top = Category(1, "Library"_s, "1"_s, 0);
    QStandardItem* courses = Category(2, "Courses"_s, "1,2"_s, 1);
    QStandardItem* marketing = Category(3, "Marketing"_s, "1,3"_s, 1);
    QStandardItem* maths = Category(4, "Mathematics"_s, "1,2,4"_s, 2);
    top->appendRow(courses);
    top->appendRow(marketing);
    courses->appendRow(maths);
    courses->appendRow(Category(5, "Physics"_s, "1,2,5"_s, 2));
    maths->appendRow(Category(6, "Algebra"_s, "1,2,4,6"_s, 4));
    marketing->appendRow(Category(7, "Campaigns"_s, "1,3,7"_s, 3));
    // The same path a tree load takes: the worker's result, attached and indexed in one step.
    CategoryTaskResult loaded;
    loaded.type = int(CategoryTreeModel::TaskType::RefreshCategory);
    loaded.outcome = CategoryTaskResult::Succeeded;
    loaded.tree = top;
    emit model->Worker()->SignalTaskEnded(loaded);
}

ApiCollection::VideoInfo Video(const QString& vid, int status, qulonglong cateId)
{
    ApiCollection::VideoInfo video;
    video.vid = vid;
    video.title = "Title of "_s + vid;
    video.status = status;
    video.cateId = cateId;
    video.size = 1536;
    video.duration = 3725.6;
    video.creationTime = "2026-12-05 10:11:12"_s;
    return video;
}

QStringList VisibleNames(const QAbstractItemModel* model, const QModelIndex& parent = {})
{
    QStringList names;
    for (int row = 0; row < model->rowCount(parent); ++row) {
        const QModelIndex index = model->index(row, 0, parent);
        names.append(index.data().toString());
        names.append(VisibleNames(model, index));
    }
    return names;
}

const QString kStem = "0123456789abcdef0123456789abcdef"_s;

QString Vid(int i)
{
    return "%1_%2"_s.arg(QString::number(0x10000000 + i, 16).repeated(4)).arg(i % 10);
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace

class TestModels : public QObject
{
    Q_OBJECT

private slots:
    void statusTexts_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text");
        QTest::newRow("uploading") << 5 << "VideoStatus.Uploading"_s;
        QTest::newRow("syncing") << 6 << "VideoStatus.Syncing"_s;
        QTest::newRow("sync failed") << 7 << "VideoStatus.SyncFailed"_s;
        QTest::newRow("waiting") << 10 << "VideoStatus.WaitingProcess"_s;
        QTest::newRow("transcoding") << 20 << "VideoStatus.Transcoding"_s;
        QTest::newRow("transcode failed") << 40 << "VideoStatus.TranscodeFailed"_s;
        QTest::newRow("illegal") << 41 << "VideoStatus.SourceFileIllegal"_s;
        QTest::newRow("waiting review") << 50 << "VideoStatus.WaitingReview"_s;
        QTest::newRow("no pass") << 51 << "VideoStatus.ReviewNoPass"_s;
        QTest::newRow("reviewing") << 52 << "VideoStatus.Reviewing"_s;
        QTest::newRow("forbidden") << 53 << "VideoStatus.Forbidden"_s;
        QTest::newRow("release") << 60 << "VideoStatus.Release"_s;
        QTest::newRow("auto censored shows as release") << 61 << "VideoStatus.Release"_s;
        QTest::newRow("unlisted code") << 8 << "unknown"_s;
        QTest::newRow("deleted") << -1 << "unknown"_s;
        QTest::newRow("zero") << 0 << "unknown"_s;
    }

    void statusTexts()
    {
        QFETCH(int, status);
        VideoTableModel model(*SDKManager::instance());
        model.FillRows({Video("v1"_s, status, 1)}, 1);
        QTEST(model.index(0, int(Column::Status)).data().toString(), "text");
    }

    void videoCells()
    {
        CategoryTreeModel categories;
        BuildTree(&categories);
        VideoTableModel model(*SDKManager::instance());
        Tester tester(&model, Tester::FailureReportingMode::QtTest);
        model.SetCategoryModel(&categories);
        ApiCollection::VideoInfo withUploader = Video("v2"_s, 60, 6);
        withUploader.uploader = "ann@example.org"_s;
        model.FillRows({Video("v1"_s, 60, 99), withUploader}, 1);

        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.index(0, int(Column::DisplayInfo)).data().toString(),
                 "Title of v1\n1.50 KB | 01:02:05\nv1"_s);
        // Date above time.
        QCOMPARE(model.index(0, int(Column::UploadTime)).data().toString(),
                 "2026-12-05\n10:11:12"_s);
        QCOMPARE(model.index(0, int(Column::Uploader)).data().toString(), "MainUploader"_s);
        QCOMPARE(model.index(1, int(Column::Uploader)).data().toString(), "ann@example.org"_s);
        // Category names and paths come from the category tree; an unknown id shows nothing.
        QCOMPARE(model.index(0, int(Column::CategoryName)).data().toString(), QString());
        QCOMPARE(model.index(1, int(Column::CategoryName)).data().toString(), "Algebra"_s);
        QCOMPARE(model.index(1, int(Column::CategoryName)).data(Qt::ToolTipRole).toString(),
                 "<p style='white-space:pre'>Library&gt;Courses&gt;Mathematics&gt;Algebra</p>"_s);

        // The name cell's tool tip: the escaped text, or the copy hint while the pointer is on the
        // vid.
        ApiCollection::VideoInfo markup = Video("v3"_s, 60, 1);
        markup.title = "<b>&</b>"_s;
        model.FillRows({markup}, 1);
        const QModelIndex name = model.index(0, int(Column::DisplayInfo));
        QVERIFY(name.data(Qt::ToolTipRole).toString().startsWith("&lt;b&gt;&amp;"_s));
        model.setData(name, 1, VideoTableModel::kButtonEnabledRole);
        QCOMPARE(name.data(Qt::ToolTipRole).toString(), "VideoTableView.CopyVid"_s);
        QCOMPARE(model.TitleOfVid("v3"_s), markup.title);
        QCOMPARE(model.TitleOfVid("nope"_s), QString());
        QCOMPARE(model.LoadedVideoInfos().size(), 1);
        QCOMPARE(model.LoadedVideoInfos().first().vid, "v3"_s);
    }

    void buttonCellsFollowCategoryAndPermissions()
    {
        VideoTableModel model(*SDKManager::instance());
        LibraryAccount account;
        account.canManage = true;
        model.SetAccount(account);
        model.FillRows({Video("here"_s, 60, 4), Video("there"_s, 60, 5)}, 4);
        auto enabled = [&model](int row, Column column) {
            const QModelIndex index = model.index(row, int(column));
            return index.data(VideoTableModel::kButtonCellRole).toInt() == 1 &&
                   index.data(VideoTableModel::kButtonEnabledRole).toInt() == 1;
        };
        QCOMPARE(
            model.index(0, int(Column::CodeGen)).data(VideoTableModel::kButtonCellRole).toInt(), 1);
        QVERIFY(!enabled(0, Column::CategoryName));
        QVERIFY(enabled(1, Column::CategoryName));
        QVERIFY(enabled(0, Column::Edit));
        QVERIFY(!enabled(0, Column::CodeGen));

        // A list by vids has no current category: every category button is enabled.
        model.FillRows({Video("here"_s, 60, 4)}, ~qulonglong(0));
        QVERIFY(enabled(0, Column::CategoryName));
    }

    void checkStateSignalsAndCheckedVids()
    {
        VideoTableModel model(*SDKManager::instance());
        Tester tester(&model, Tester::FailureReportingMode::QtTest);
        model.FillRows({Video("a"_s, 5, 1), Video("b"_s, 60, 1), Video("c"_s, 5, 1)}, 1);
        QSignalSpy spy(&model, &VideoTableModel::SignalCheckStateChanged);
        model.item(2, 0)->setCheckState(Qt::Checked);
        model.item(1, 0)->setCheckState(Qt::Checked);
        model.item(1, int(Column::Thumbs))->setData("x"_s, Qt::DisplayRole);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(0).at(0).toModelIndex(), model.index(2, 0));
        QCOMPARE(model.CheckedCount(), 2);
        QCOMPARE(model.CheckedVids(), (QStringList{"b"_s, "c"_s}));
        QCOMPARE(model.UploadingVids({"c"_s, "b"_s, "a"_s}), (QStringList{"a"_s, "c"_s}));

        // The upload manager holds none of them.
        const QStringList all{"a"_s, "b"_s, "c"_s};
        QVERIFY(model.VidsByClientUpload(all, true).isEmpty());
        QCOMPARE(model.VidsByClientUpload(all, false), all);

        // A new page replaces the rows and their check marks.
        model.FillRows({Video("c"_s, 60, 1)}, 1);
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.CheckedCount(), 0);
        QCOMPARE(model.item(0, 0)->data(int(VRole::Vid)).toString(), "c"_s);
        model.Clear();
        QCOMPARE(model.rowCount(), 0);
    }

    void categoryIndexAndPaths()
    {
        CategoryTreeModel model;
        Tester tester(&model, Tester::FailureReportingMode::QtTest);
        BuildTree(&model);
        QCOMPARE(model.TopCateId(), qulonglong(1));
        QCOMPARE(model.CateName(6), "Algebra"_s);
        QCOMPARE(model.CateName(42), QString());
        QVERIFY(!model.IndexOfCateId(42).isValid());
        QCOMPARE(model.ParentCateId(6), qulonglong(4));
        QStringList path;
        for (const QModelIndex& index : model.IndexPathOfCateId(6)) {
            path.append(index.data().toString());
        }
        QCOMPARE(path, (QStringList{"Library"_s, "Courses"_s, "Mathematics"_s, "Algebra"_s}));
        QVERIFY(model.IndexPathOfCateId(42).isEmpty());
    }

    void cateNameAlreadyInCateIdComparesDirectChildrenExactly_data()
    {
        QTest::addColumn<qulonglong>("cateId");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("exists");
        QTest::newRow("direct child") << qulonglong(2) << "Physics"_s << true;
        QTest::newRow("other case") << qulonglong(2) << "physics"_s << false;
        QTest::newRow("part of a name") << qulonglong(2) << "Phys"_s << false;
        QTest::newRow("grandchild") << qulonglong(2) << "Algebra"_s << false;
        QTest::newRow("no children") << qulonglong(6) << "Algebra"_s << false;
        QTest::newRow("unknown category") << qulonglong(42) << "Physics"_s << false;
    }

    void cateNameAlreadyInCateIdComparesDirectChildrenExactly()
    {
        QFETCH(qulonglong, cateId);
        QFETCH(QString, name);
        CategoryTreeModel model;
        BuildTree(&model);
        QTEST(model.IsCateNameAlreadyInCateId(cateId, name), "exists");
    }

    void filterKeepsMatchesWithAncestors_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("visible");
        QTest::newRow("leaf") << "algeb"_s
                              << QStringList{"Library"_s, "Courses"_s, "Mathematics"_s,
                                             "Algebra"_s};
        // Children of a match that do not match themselves are hidden.
        QTest::newRow("inner") << "COURSES"_s << QStringList{"Library"_s, "Courses"_s};
        QTest::newRow("two branches")
            << "ics"_s << QStringList{"Library"_s, "Courses"_s, "Mathematics"_s, "Physics"_s};
        QTest::newRow("nothing") << "zzz"_s << QStringList{};
        QTest::newRow("empty shows all")
            << QString() << QStringList{"Library"_s, "Courses"_s,   "Mathematics"_s, "Algebra"_s,
                                        "Physics"_s, "Marketing"_s, "Campaigns"_s};
    }

    // What the filter hides, match() on a category role (Algebra's id) does not find either;
    // a found index is the proxy's. Display roles go through the proxy itself.
    void filterKeepsMatchesWithAncestors()
    {
        QFETCH(QString, filter);
        QFETCH(QStringList, visible);
        CategoryTreeModel model;
        BuildTree(&model);
        RecursiveFilterProxyModel proxy;
        Tester tester(&proxy, Tester::FailureReportingMode::QtTest);
        proxy.SetupForCategories(&model);
        proxy.setFilterFixedString(filter);
        QCOMPARE(VisibleNames(&proxy), visible);

        const QModelIndex top = proxy.index(0, 0);
        const Qt::MatchFlags flags = Qt::MatchExactly | Qt::MatchRecursive;
        const QModelIndexList hits = proxy.match(top, int(Role::CateId), qulonglong(6), 1, flags);
        QCOMPARE(hits.size(), visible.contains("Algebra"_s) ? 1 : 0);
        QVERIFY(hits.isEmpty() ||
                (hits.first().model() == &proxy && hits.first().data().toString() == "Algebra"_s));
        QCOMPARE(proxy.match(top, Qt::DisplayRole, "Library"_s, 1, Qt::MatchExactly).size(),
                 visible.isEmpty() ? 0 : 1);
    }

    void vidRule_data()
    {
        QTest::addColumn<QString>("vid");
        QTest::addColumn<bool>("valid");
        QTest::newRow("34, _ after 32") << kStem + "_1"_s << true;
        QTest::newRow("letter after _") << kStem + "_x"_s << true;
        QTest::newRow("33 characters") << kStem + "_"_s << false;
        QTest::newRow("35 characters") << kStem + "_12"_s << false;
        QTest::newRow("_ after 31") << kStem.left(31) + "_12"_s << false;
        QTest::newRow("_ after 33") << kStem + "a_"_s << false;
        QTest::newRow("two _") << kStem.left(31) + "__1"_s << false;
        QTest::newRow("no _") << kStem + "12"_s << false;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("surrounding space") << " "_s + kStem + "_"_s << false;
    }

    void vidRule()
    {
        QFETCH(QString, vid);
        QTEST(VidRule::IsValid(vid), "valid");
    }

    void split_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("tokens");
        const QString a = kStem + "_1"_s;
        const QString b = kStem + "_2"_s;
        const QString c = kStem + "_3"_s;
        QTest::newRow("commas") << a + ","_s + b << QStringList{a, b};
        QTest::newRow("comma before space")
            << a + ", "_s + b + " "_s + c << QStringList{a, b + " "_s + c};
        QTest::newRow("semicolon before space")
            << a + ";"_s + b + " "_s + c << QStringList{a, b + " "_s + c};
        QTest::newRow("spaces") << a + "  "_s + b << QStringList{a, b};
        QTest::newRow("crlf") << a + "\r\n"_s + b + "\r\n"_s << QStringList{a, b};
        QTest::newRow("lf") << a + "\n"_s + b << QStringList{a, b};
        QTest::newRow("cr") << a + "\r"_s + b << QStringList{a, b};
        QTest::newRow("one") << a << QStringList{a};
        QTest::newRow("trailing comma") << a + ","_s << QStringList{a};
    }

    void split()
    {
        QFETCH(QString, text);
        QTEST(VidRule::Split(text), "tokens");
    }

    void report_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("report");
        QTest::addColumn<int>("added");
        QTest::addColumn<int>("invalid");
        QTest::addColumn<int>("same");
        using R = VidCollection::Report;
        const QString two = Vid(1) + ","_s + Vid(2);
        QTest::newRow("added") << 0 << two << int(R::Some) << 2 << 0 << 0;
        QTest::newRow("added and invalid")
            << 0 << two + ",nope"_s << int(R::SomeAndErrors) << 2 << 1 << 0;
        QTest::newRow("all listed already")
            << 3 << Vid(0) + ","_s + Vid(1) << int(R::Same) << 0 << 0 << 2;
        QTest::newRow("only invalid") << 0 << "a,b"_s << int(R::None) << 0 << 2 << 0;
        const QString three = Vid(200) + ","_s + Vid(201) + ","_s + Vid(202);
        // One more than the room is still "added": only past 100 in all does the cap speak.
        QTest::newRow("up to the cap")
            << 99 << Vid(200) + ","_s + Vid(201) << int(R::Some) << 1 << 0 << 1;
        QTest::newRow("over the cap") << 99 << three << int(R::MoreThanMax) << 1 << 0 << 2;
        QTest::newRow("over the cap with invalid")
            << 99 << three + ",bad"_s << int(R::SomeAndErrors) << 1 << 1 << 2;
    }

    void report()
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

    void importCsvAndTxt()
    {
        QTemporaryDir dir;
        const QString csv = dir.filePath("vids.csv"_s);
        const QString txt = dir.filePath("vids.txt"_s);
        // A BOM, a header, a vid per line, two on one line, CRLF endings and blank lines.
        QVERIFY(WriteFile(csv, "\xEF\xBB\xBFvid\r\n" + Vid(1).toUtf8() + ",\r\n" + Vid(2).toUtf8() +
                                   "," + Vid(3).toUtf8() + "\r\n\r\n" + Vid(1).toUtf8() + "\r\n"));
        QVERIFY(WriteFile(txt, Vid(4).toUtf8() + ";" + Vid(5).toUtf8() + "\n" + Vid(6).toUtf8() +
                                   " " + Vid(7).toUtf8() + "\n" + Vid(8).toUtf8() + "x\n\t" +
                                   Vid(9).toUtf8() + "\n"));
        VidCollection vids;
        VidCollection::Tally tally = vids.BeginTally();
        QVERIFY(vids.OfferFile(csv, &tally));
        QVERIFY(vids.OfferFile(txt, &tally));
        QVERIFY(!vids.OfferFile(dir.filePath("missing.csv"_s), &tally));
        QCOMPARE(vids.Vids(),
                 (QStringList{Vid(1), Vid(2), Vid(3), Vid(4), Vid(5), Vid(6), Vid(7), Vid(9)}));
        QCOMPARE(tally.added, 8);
        QCOMPARE(tally.invalid, 2);  // the header and the 35-character line
        QCOMPARE(tally.same, 1);
    }

    void templateHasTenValidLines()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("kvr_template_vids.csv"_s);
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
            QVERIFY(QRegularExpression("^[0-9a-f]{32}_%1$"_s.arg(i)).match(line).hasMatch());
        }
        QVERIFY(!VidRule::WriteTemplateFile(dir.filePath("no/such/folder/t.csv"_s)));
    }

    void coverLimits_data()
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
        QTest::newRow("small bmp") << QSize(64, 36) << qint64(0) << QByteArray("BMP") << int(R::Ok);
        QTest::newRow("not an image") << QSize() << qint64(0) << QByteArray() << int(R::Unreadable);
    }

    void coverLimits()
    {
        QFETCH(QSize, pixels);
        QFETCH(qint64, padTo);
        QFETCH(QByteArray, format);
        QTemporaryDir dir;
        const QString path = dir.filePath("cover.img"_s);
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
        QCOMPARE(int(CoverFileCheck::Check(dir.filePath("missing.png"_s))),
                 int(CoverFileCheck::Result::Missing));
    }
};

QTEST_MAIN(TestModels)
#include "tst_models.moc"

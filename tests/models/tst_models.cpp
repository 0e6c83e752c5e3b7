// The library models without a server: display texts and roles of the video table, the index
// and path operations of the category tree, the filter proxy, and the checks that refuse a
// rename before any request. QAbstractItemModelTester watches every model while it changes.
#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

#include "common/TestLiterals.h"
#include "models/CategoryTreeModel.h"
#include "models/RecursiveFilterProxyModel.h"
#include "models/VideoTableModel.h"
#include "tasks/CategoryTreeModelWorker.h"
#include "upload/SDKManager.h"

namespace {

using Role = CategoryTreeModel::DataRole;
using VRole = VideoTableModel::DataRole;
using Column = VideoTableModel::Column;

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
        QFETCH(QString, text);
        VideoTableModel model(*SDKManager::instance());
        model.FillRows({Video("v1"_s, status, 1)}, 1);
        QCOMPARE(model.index(0, int(Column::Status)).data().toString(), text);
    }

    void videoCells()
    {
        CategoryTreeModel categories;
        BuildTree(&categories);
        VideoTableModel model(*SDKManager::instance());
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.SetCategoryModel(&categories);
        ApiCollection::VideoInfo withUploader = Video("v2"_s, 60, 6);
        withUploader.uploader = "ann@example.org"_s;
        model.FillRows({Video("v1"_s, 60, 99), withUploader}, 1);

        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.columnCount(), int(Column::ColumnSize));
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
                 QStringLiteral("<p style='white-space:pre'>Library&gt;Courses&gt;Mathematics&gt;"
                                "Algebra</p>"));

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
    }

    void videoRowsAreReplacedOnFill()
    {
        VideoTableModel model(*SDKManager::instance());
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.FillRows({Video("a"_s, 60, 1), Video("b"_s, 60, 1)}, 1);
        model.item(0, 0)->setCheckState(Qt::Checked);
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
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
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
        QVERIFY(!model.IsOperating());
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
        QFETCH(bool, exists);
        CategoryTreeModel model;
        BuildTree(&model);
        QCOMPARE(model.IsCateNameAlreadyInCateId(cateId, name), exists);
    }

    void renameRefusedWithoutRequest_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("error");
        QTest::newRow("empty") << QString() << "CategoryTreeModel.RenameCateNameEmpty"_s;
        QTest::newRow("emoji") << QString::fromUtf8("Fun \xF0\x9F\x98\x80")
                               << "CategoryTreeModel.RenameCateNameMySQLIncompatible"_s;
    }

    void renameRefusedWithoutRequest()
    {
        QFETCH(QString, name);
        QFETCH(QString, error);
        CategoryTreeModel model;
        BuildTree(&model);
        QSignalSpy failed(&model, &CategoryTreeModel::SignalRenameCategoryFailed);
        QVERIFY(model.RenameCategory(6, name).isNull());
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.first().first().toString(), error);
        // No task was created, so nothing went to the network.
        QVERIFY(!model.IsOperating());
        QCOMPARE(model.CateName(6), "Algebra"_s);
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

    void filterKeepsMatchesWithAncestors()
    {
        QFETCH(QString, filter);
        QFETCH(QStringList, visible);
        CategoryTreeModel model;
        BuildTree(&model);
        RecursiveFilterProxyModel proxy;
        QAbstractItemModelTester tester(&proxy,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        proxy.SetupForCategories(&model);
        proxy.setFilterFixedString(filter);
        QCOMPARE(VisibleNames(&proxy), visible);
    }

    void proxyMatchByCateIdHonoursFilter()
    {
        CategoryTreeModel model;
        BuildTree(&model);
        RecursiveFilterProxyModel proxy;
        proxy.SetupForCategories(&model);
        const QModelIndex top = proxy.index(0, 0);
        const Qt::MatchFlags flags = Qt::MatchExactly | Qt::MatchRecursive;

        QModelIndexList hits = proxy.match(top, int(Role::CateId), qulonglong(6), 1, flags);
        QCOMPARE(hits.size(), 1);
        QCOMPARE(hits.first().data().toString(), "Algebra"_s);

        proxy.setFilterFixedString("Marketing"_s);
        QVERIFY(
            proxy.match(proxy.index(0, 0), int(Role::CateId), qulonglong(6), 1, flags).isEmpty());
        hits = proxy.match(proxy.index(0, 0), int(Role::CateId), qulonglong(3), 1, flags);
        QCOMPARE(hits.size(), 1);
        QCOMPARE(hits.first().model(), &proxy);

        // Display roles go through the proxy itself.
        hits = proxy.match(proxy.index(0, 0), Qt::DisplayRole, "Library"_s, 1, Qt::MatchExactly);
        QCOMPARE(hits.size(), 1);
    }

    void requestIdIsCutFromTreeAnswer()
    {
        const QByteArray one = QByteArrayLiteral(
            "{\"code\":200,\"requestId\":\"{11111111-2222-3333-4444-555555555555}\",\"data\":{}}");
        const QByteArray two = QByteArrayLiteral(
            "{\"code\":200,\"requestId\":\"{99999999-2222-3333-4444-555555555555}\",\"data\":{}}");
        QCOMPARE(CategoryTreeModelWorker::WithoutRequestId(one),
                 QByteArrayLiteral("{\"code\":200,\",\"data\":{}}"));
        QCOMPARE(CategoryTreeModelWorker::WithoutRequestId(one),
                 CategoryTreeModelWorker::WithoutRequestId(two));
        QCOMPARE(CategoryTreeModelWorker::WithoutRequestId("{}"), QByteArray("{}"));
    }
};

QTEST_MAIN(TestModels)
#include "tst_models.moc"

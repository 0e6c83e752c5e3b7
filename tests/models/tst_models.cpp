// The library models without a server: display texts and roles of the video table, the index
// and path operations of the category tree, the filter proxy, and the checks that refuse a
// rename before any request. QAbstractItemModelTester watches every model while it changes.
#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

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
    QStandardItem* top = Category(1, QStringLiteral("Library"), QStringLiteral("1"), 0);
    QStandardItem* courses = Category(2, QStringLiteral("Courses"), QStringLiteral("1,2"), 1);
    QStandardItem* marketing = Category(3, QStringLiteral("Marketing"), QStringLiteral("1,3"), 1);
    QStandardItem* maths = Category(4, QStringLiteral("Mathematics"), QStringLiteral("1,2,4"), 2);
    top->appendRow(courses);
    top->appendRow(marketing);
    courses->appendRow(maths);
    courses->appendRow(Category(5, QStringLiteral("Physics"), QStringLiteral("1,2,5"), 2));
    maths->appendRow(Category(6, QStringLiteral("Algebra"), QStringLiteral("1,2,4,6"), 4));
    marketing->appendRow(Category(7, QStringLiteral("Campaigns"), QStringLiteral("1,3,7"), 3));
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
    video.title = QStringLiteral("Title of ") + vid;
    video.status = status;
    video.cateId = cateId;
    video.size = 1536;
    video.duration = 3725.6;
    video.creationTime = QStringLiteral("2026-12-05 10:11:12");
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
    void statusTexts_data();
    void statusTexts();
    void videoCells();
    void buttonCellsFollowCategoryAndPermissions();
    void checkStateSignalsAndCheckedVids();
    void videoRowsAreReplacedOnFill();
    void categoryIndexAndPaths();
    void cateNameAlreadyInCateIdComparesDirectChildrenExactly_data();
    void cateNameAlreadyInCateIdComparesDirectChildrenExactly();
    void renameRefusedWithoutRequest_data();
    void renameRefusedWithoutRequest();
    void filterKeepsMatchesWithAncestors_data();
    void filterKeepsMatchesWithAncestors();
    void proxyMatchByCateIdHonoursFilter();
    void requestIdIsCutFromTreeAnswer();
};

void TestModels::statusTexts_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("text");
    QTest::newRow("uploading") << 5 << QStringLiteral("VideoStatus.Uploading");
    QTest::newRow("syncing") << 6 << QStringLiteral("VideoStatus.Syncing");
    QTest::newRow("sync failed") << 7 << QStringLiteral("VideoStatus.SyncFailed");
    QTest::newRow("waiting") << 10 << QStringLiteral("VideoStatus.WaitingProcess");
    QTest::newRow("transcoding") << 20 << QStringLiteral("VideoStatus.Transcoding");
    QTest::newRow("transcode failed") << 40 << QStringLiteral("VideoStatus.TranscodeFailed");
    QTest::newRow("illegal") << 41 << QStringLiteral("VideoStatus.SourceFileIllegal");
    QTest::newRow("waiting review") << 50 << QStringLiteral("VideoStatus.WaitingReview");
    QTest::newRow("no pass") << 51 << QStringLiteral("VideoStatus.ReviewNoPass");
    QTest::newRow("reviewing") << 52 << QStringLiteral("VideoStatus.Reviewing");
    QTest::newRow("forbidden") << 53 << QStringLiteral("VideoStatus.Forbidden");
    QTest::newRow("release") << 60 << QStringLiteral("VideoStatus.Release");
    QTest::newRow("auto censored shows as release") << 61 << QStringLiteral("VideoStatus.Release");
    QTest::newRow("unlisted code") << 8 << QStringLiteral("unknown");
    QTest::newRow("deleted") << -1 << QStringLiteral("unknown");
    QTest::newRow("zero") << 0 << QStringLiteral("unknown");
}

void TestModels::statusTexts()
{
    QFETCH(int, status);
    QFETCH(QString, text);
    VideoTableModel model(*SDKManager::instance());
    model.FillRows({Video(QStringLiteral("v1"), status, 1)}, 1);
    QCOMPARE(model.index(0, int(Column::Status)).data().toString(), text);
}

void TestModels::videoCells()
{
    CategoryTreeModel categories;
    BuildTree(&categories);
    VideoTableModel model(*SDKManager::instance());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.SetCategoryModel(&categories);
    ApiCollection::VideoInfo withUploader = Video(QStringLiteral("v2"), 60, 6);
    withUploader.uploader = QStringLiteral("ann@example.org");
    model.FillRows({Video(QStringLiteral("v1"), 60, 99), withUploader}, 1);

    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.columnCount(), int(Column::ColumnSize));
    QCOMPARE(model.index(0, int(Column::DisplayInfo)).data().toString(),
             QStringLiteral("Title of v1\n1.50 KB | 01:02:05\nv1"));
    // Date above time.
    QCOMPARE(model.index(0, int(Column::UploadTime)).data().toString(),
             QStringLiteral("2026-12-05\n10:11:12"));
    QCOMPARE(model.index(0, int(Column::Uploader)).data().toString(),
             QStringLiteral("MainUploader"));
    QCOMPARE(model.index(1, int(Column::Uploader)).data().toString(),
             QStringLiteral("ann@example.org"));
    // Category names and paths come from the category tree; an unknown id shows nothing.
    QCOMPARE(model.index(0, int(Column::CategoryName)).data().toString(), QString());
    QCOMPARE(model.index(1, int(Column::CategoryName)).data().toString(),
             QStringLiteral("Algebra"));
    QCOMPARE(model.index(1, int(Column::CategoryName)).data(Qt::ToolTipRole).toString(),
             QStringLiteral("<p style='white-space:pre'>Library&gt;Courses&gt;Mathematics&gt;"
                            "Algebra</p>"));

    // The name cell's tool tip: the escaped text, or the copy hint while the pointer is on the
    // vid.
    ApiCollection::VideoInfo markup = Video(QStringLiteral("v3"), 60, 1);
    markup.title = QStringLiteral("<b>&</b>");
    model.FillRows({markup}, 1);
    const QModelIndex name = model.index(0, int(Column::DisplayInfo));
    QVERIFY(name.data(Qt::ToolTipRole).toString().startsWith(QStringLiteral("&lt;b&gt;&amp;")));
    model.setData(name, 1, VideoTableModel::kButtonEnabledRole);
    QCOMPARE(name.data(Qt::ToolTipRole).toString(), QStringLiteral("VideoTableView.CopyVid"));
    QCOMPARE(model.TitleOfVid(QStringLiteral("v3")), markup.title);
    QCOMPARE(model.TitleOfVid(QStringLiteral("nope")), QString());
    QCOMPARE(model.LoadedVideoInfos().size(), 1);
    QCOMPARE(model.LoadedVideoInfos().first().vid, QStringLiteral("v3"));
}

void TestModels::buttonCellsFollowCategoryAndPermissions()
{
    VideoTableModel model(*SDKManager::instance());
    LibraryAccount account;
    account.canManage = true;
    model.SetAccount(account);
    model.FillRows({Video(QStringLiteral("here"), 60, 4), Video(QStringLiteral("there"), 60, 5)},
                   4);
    auto enabled = [&model](int row, Column column) {
        const QModelIndex index = model.index(row, int(column));
        return index.data(VideoTableModel::kButtonCellRole).toInt() == 1 &&
               index.data(VideoTableModel::kButtonEnabledRole).toInt() == 1;
    };
    QCOMPARE(model.index(0, int(Column::CodeGen)).data(VideoTableModel::kButtonCellRole).toInt(),
             1);
    QVERIFY(!enabled(0, Column::CategoryName));
    QVERIFY(enabled(1, Column::CategoryName));
    QVERIFY(enabled(0, Column::Edit));
    QVERIFY(!enabled(0, Column::CodeGen));

    // A list by vids has no current category: every category button is enabled.
    model.FillRows({Video(QStringLiteral("here"), 60, 4)}, ~qulonglong(0));
    QVERIFY(enabled(0, Column::CategoryName));
}

void TestModels::checkStateSignalsAndCheckedVids()
{
    VideoTableModel model(*SDKManager::instance());
    model.FillRows({Video(QStringLiteral("a"), 5, 1), Video(QStringLiteral("b"), 60, 1),
                    Video(QStringLiteral("c"), 5, 1)},
                   1);
    QSignalSpy spy(&model, &VideoTableModel::SignalCheckStateChanged);
    model.item(2, 0)->setCheckState(Qt::Checked);
    model.item(1, 0)->setCheckState(Qt::Checked);
    model.item(1, int(Column::Thumbs))->setData(QStringLiteral("x"), Qt::DisplayRole);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(0).at(0).toModelIndex(), model.index(2, 0));
    QCOMPARE(model.CheckedCount(), 2);
    QCOMPARE(model.CheckedVids(), (QStringList{QStringLiteral("b"), QStringLiteral("c")}));
    QCOMPARE(model.UploadingVids({QStringLiteral("c"), QStringLiteral("b"), QStringLiteral("a")}),
             (QStringList{QStringLiteral("a"), QStringLiteral("c")}));

    // The upload manager holds none of them.
    const QStringList all{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
    QVERIFY(model.VidsByClientUpload(all, true).isEmpty());
    QCOMPARE(model.VidsByClientUpload(all, false), all);
}

void TestModels::videoRowsAreReplacedOnFill()
{
    VideoTableModel model(*SDKManager::instance());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.FillRows({Video(QStringLiteral("a"), 60, 1), Video(QStringLiteral("b"), 60, 1)}, 1);
    model.item(0, 0)->setCheckState(Qt::Checked);
    model.FillRows({Video(QStringLiteral("c"), 60, 1)}, 1);
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.CheckedCount(), 0);
    QCOMPARE(model.item(0, 0)->data(int(VRole::Vid)).toString(), QStringLiteral("c"));
    model.Clear();
    QCOMPARE(model.rowCount(), 0);
}

void TestModels::categoryIndexAndPaths()
{
    CategoryTreeModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    BuildTree(&model);
    QCOMPARE(model.TopCateId(), qulonglong(1));
    QCOMPARE(model.CateName(6), QStringLiteral("Algebra"));
    QCOMPARE(model.CateName(42), QString());
    QVERIFY(!model.IndexOfCateId(42).isValid());
    QCOMPARE(model.ParentCateId(6), qulonglong(4));
    QStringList path;
    for (const QModelIndex& index : model.IndexPathOfCateId(6)) {
        path.append(index.data().toString());
    }
    QCOMPARE(path, (QStringList{QStringLiteral("Library"), QStringLiteral("Courses"),
                                QStringLiteral("Mathematics"), QStringLiteral("Algebra")}));
    QVERIFY(model.IndexPathOfCateId(42).isEmpty());
    QVERIFY(!model.IsOperating());
}

void TestModels::cateNameAlreadyInCateIdComparesDirectChildrenExactly_data()
{
    QTest::addColumn<qulonglong>("cateId");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("exists");
    QTest::newRow("direct child") << qulonglong(2) << QStringLiteral("Physics") << true;
    QTest::newRow("other case") << qulonglong(2) << QStringLiteral("physics") << false;
    QTest::newRow("part of a name") << qulonglong(2) << QStringLiteral("Phys") << false;
    QTest::newRow("grandchild") << qulonglong(2) << QStringLiteral("Algebra") << false;
    QTest::newRow("no children") << qulonglong(6) << QStringLiteral("Algebra") << false;
    QTest::newRow("unknown category") << qulonglong(42) << QStringLiteral("Physics") << false;
}

void TestModels::cateNameAlreadyInCateIdComparesDirectChildrenExactly()
{
    QFETCH(qulonglong, cateId);
    QFETCH(QString, name);
    QFETCH(bool, exists);
    CategoryTreeModel model;
    BuildTree(&model);
    QCOMPARE(model.IsCateNameAlreadyInCateId(cateId, name), exists);
}

void TestModels::renameRefusedWithoutRequest_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("error");
    QTest::newRow("empty") << QString() << QStringLiteral("CategoryTreeModel.RenameCateNameEmpty");
    QTest::newRow("emoji") << QString::fromUtf8("Fun \xF0\x9F\x98\x80")
                           << QStringLiteral("CategoryTreeModel.RenameCateNameMySQLIncompatible");
}

void TestModels::renameRefusedWithoutRequest()
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
    QCOMPARE(model.CateName(6), QStringLiteral("Algebra"));
}

void TestModels::filterKeepsMatchesWithAncestors_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("visible");
    QTest::newRow("leaf") << QStringLiteral("algeb")
                          << QStringList{QStringLiteral("Library"), QStringLiteral("Courses"),
                                         QStringLiteral("Mathematics"), QStringLiteral("Algebra")};
    // Children of a match that do not match themselves are hidden.
    QTest::newRow("inner") << QStringLiteral("COURSES")
                           << QStringList{QStringLiteral("Library"), QStringLiteral("Courses")};
    QTest::newRow("two branches") << QStringLiteral("ics")
                                  << QStringList{
                                         QStringLiteral("Library"), QStringLiteral("Courses"),
                                         QStringLiteral("Mathematics"), QStringLiteral("Physics")};
    QTest::newRow("nothing") << QStringLiteral("zzz") << QStringList{};
    QTest::newRow("empty shows all")
        << QString() << QStringList{QStringLiteral("Library"),     QStringLiteral("Courses"),
                                    QStringLiteral("Mathematics"), QStringLiteral("Algebra"),
                                    QStringLiteral("Physics"),     QStringLiteral("Marketing"),
                                    QStringLiteral("Campaigns")};
}

void TestModels::filterKeepsMatchesWithAncestors()
{
    QFETCH(QString, filter);
    QFETCH(QStringList, visible);
    CategoryTreeModel model;
    BuildTree(&model);
    RecursiveFilterProxyModel proxy;
    QAbstractItemModelTester tester(&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
    proxy.SetupForCategories(&model);
    proxy.setFilterFixedString(filter);
    QCOMPARE(VisibleNames(&proxy), visible);
}

void TestModels::proxyMatchByCateIdHonoursFilter()
{
    CategoryTreeModel model;
    BuildTree(&model);
    RecursiveFilterProxyModel proxy;
    proxy.SetupForCategories(&model);
    const QModelIndex top = proxy.index(0, 0);
    const Qt::MatchFlags flags = Qt::MatchExactly | Qt::MatchRecursive;

    QModelIndexList hits = proxy.match(top, int(Role::CateId), qulonglong(6), 1, flags);
    QCOMPARE(hits.size(), 1);
    QCOMPARE(hits.first().data().toString(), QStringLiteral("Algebra"));

    proxy.setFilterFixedString(QStringLiteral("Marketing"));
    QVERIFY(proxy.match(proxy.index(0, 0), int(Role::CateId), qulonglong(6), 1, flags).isEmpty());
    hits = proxy.match(proxy.index(0, 0), int(Role::CateId), qulonglong(3), 1, flags);
    QCOMPARE(hits.size(), 1);
    QCOMPARE(hits.first().model(), &proxy);

    // Display roles go through the proxy itself.
    hits = proxy.match(proxy.index(0, 0), Qt::DisplayRole, QStringLiteral("Library"), 1,
                       Qt::MatchExactly);
    QCOMPARE(hits.size(), 1);
}

void TestModels::requestIdIsCutFromTreeAnswer()
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

QTEST_MAIN(TestModels)
#include "tst_models.moc"

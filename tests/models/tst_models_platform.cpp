// The library models against a devplatform with the demo seed: tree loads, category changes,
// superseded page loads, deletes of videos other clients upload, and the thumbnail cache.
#include <QAbstractItemModelTester>
#include <QDir>
#include <QImage>
#include <QSignalSpy>
#include <QtTest>

#include "ModelsPlatform.h"
#include "app/DataDir.h"
#include "common/TestLiterals.h"
#include "models/CategoryTreeModel.h"
#include "models/VideoTableModel.h"
#include "tasks/VideoTableModelWorker.h"
#include "upload/SDKManager.h"

namespace {

using Role = CategoryTreeModel::DataRole;
using VRole = VideoTableModel::DataRole;
using EndStatus = TaskManager::TaskEndStatus;

qulonglong IdOf(const CategoryTreeModel& model, const QString& name)
{
    const QModelIndexList hits = model.match(model.index(0, 0), Qt::DisplayRole, name, 1,
                                             Qt::MatchExactly | Qt::MatchRecursive);
    return hits.isEmpty() ? 0 : hits.first().data(int(Role::CateId)).toULongLong();
}

QString PathOf(const CategoryTreeModel& model, qulonglong cateId)
{
    return model.IndexOfCateId(cateId).data(int(Role::CateTree)).toString();
}

QStringList VidsOf(const VideoTableModel& model)
{
    QStringList vids;
    for (int row = 0; row < model.rowCount(); ++row) {
        vids.append(model.item(row, 0)->data(int(VRole::Vid)).toString());
    }
    return vids;
}

bool LoadTree(CategoryTreeModel* model)
{
    QSignalSpy done(model, &CategoryTreeModel::SignalRefreshCategoryDone);
    QSignalSpy failed(model, &CategoryTreeModel::SignalRefreshCategoryFailed);
    if (model->RefreshCategory().isNull() || !done.wait(30000)) {
        return false;
    }
    return QTest::qWaitFor([model]() { return !model->IsOperating(); }, 5000) && failed.isEmpty();
}

// Loads every demo video (40) in one page, sorted by creation time.
bool LoadAll(VideoTableModel* model, qulonglong topCateId)
{
    QSignalSpy succeed(model, &VideoTableModel::SignalRefreshVideoListSucceed);
    model->RefreshVideoList(topCateId, QString(), true, 1, 100, ApiCollection::CreationTimeAsc);
    return succeed.wait(30000);
}

}  // namespace

class TestModelsPlatform : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!ModelsPlatform::Configured()) {
            QSKIP("needs a devplatform (KAVRO_PLATFORM_URL, KAVRO_TEST_CACERT)");
        }
        curl_global_init(CURL_GLOBAL_ALL);
        ModelsPlatform::UseTestCa(&settings);
        QCOMPARE(ModelsPlatform::SignIn("demo@kavro.example"_s, "demo1234"_s, &login),
                 ApiCollection::NoError);
    }

    void init() { QVERIFY(ModelsPlatform::SetFault(QString())); }

    void reloadWithSameTreeLeavesModelUntouched()
    {
        CategoryTreeModel model;
        model.SetAccount(ModelsPlatform::Account());
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(LoadTree(&model));
        QCOMPARE(model.TopCateId(), qulonglong(login.cateId));
        QVERIFY(IdOf(model, "Algebra"_s) != 0);
        QVERIFY(model.NamesModel()->stringList().contains("Geometry"_s));
        const QStandardItem* top = model.item(0);

        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy succeed(&model, &CategoryTreeModel::SignalRefreshCategorySucceed);
        QSignalSpy available(&model, &CategoryTreeModel::SignalCategoryAvailable);
        QSignalSpy done(&model, &CategoryTreeModel::SignalRefreshCategoryDone);
        QSignalSpy ends(&model, &CategoryTreeModel::SignalTaskEndStatus);
        const QUuid reload = model.RefreshCategory();
        QVERIFY(!reload.isNull());
        // A second request while one is listed creates nothing.
        QVERIFY(model.RefreshCategory().isNull());
        QVERIFY(done.wait(30000));
        QTRY_COMPARE(ends.count(), 1);

        QCOMPARE(removed.count(), 0);
        QCOMPARE(model.item(0), top);
        QCOMPARE(succeed.count(), 1);
        QCOMPARE(available.count(), 2);
        QCOMPARE(available.at(0).at(0).toBool(), false);
        QCOMPARE(available.at(1).at(0).toBool(), true);
        QCOMPARE(ends.first().at(0).toUuid(), reload);
        QCOMPARE(ends.first().at(1).value<EndStatus>(), TaskManager::Finished);
    }

    void addMoveRenameUpdateTree()
    {
        CategoryTreeModel model;
        model.SetAccount(ModelsPlatform::Account());
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(LoadTree(&model));
        const qulonglong top = model.TopCateId();
        // Names that need escaping in a form body and characters outside ASCII.
        const QString added = "新分类 α&b=c %1"_s.arg(QDateTime::currentMSecsSinceEpoch());

        QSignalSpy addSucceed(&model, &CategoryTreeModel::SignalAddCategorySucceed);
        model.AddCategory(top, added);
        QVERIFY(addSucceed.wait(15000));
        const qulonglong newId = addSucceed.first().at(0).toULongLong();
        QTRY_VERIFY(model.IndexOfCateId(newId).isValid());
        QCOMPARE(PathOf(model, newId),
                 PathOf(model, top) + QLatin1Char(',') + QString::number(newId));
        QCOMPARE(model.ParentCateId(newId), top);
        QTRY_VERIFY(model.NamesModel()->stringList().contains(added));
        QVERIFY(model.IsCateNameAlreadyInCateId(top, added));

        // Mathematics (with Algebra and Geometry below it) moves under Marketing.
        const qulonglong maths = IdOf(model, "Mathematics"_s);
        const qulonglong algebra = IdOf(model, "Algebra"_s);
        const qulonglong marketing = IdOf(model, "Marketing"_s);
        QSignalSpy moveReady(&model, &CategoryTreeModel::SignalMoveCategoryReady);
        QSignalSpy moveSucceed(&model, &CategoryTreeModel::SignalMoveCategorySucceed);
        model.MoveCategory(maths, marketing);
        QVERIFY(moveSucceed.wait(15000));
        QCOMPARE(moveReady.count(), 1);
        const QModelIndex moved = model.IndexOfCateId(maths);
        QCOMPARE(moved.parent(), model.IndexOfCateId(marketing));
        QCOMPARE(moved.row(), model.rowCount(moved.parent()) - 1);
        QCOMPARE(PathOf(model, maths),
                 PathOf(model, marketing) + QLatin1Char(',') + QString::number(maths));
        QCOMPARE(PathOf(model, algebra),
                 PathOf(model, maths) + QLatin1Char(',') + QString::number(algebra));

        QSignalSpy renamed(&model, &CategoryTreeModel::SignalRenameCategorySucceed);
        model.RenameCategory(algebra, "改名 + 100%"_s);
        QVERIFY(renamed.wait(15000));
        QCOMPARE(model.CateName(algebra), "改名 + 100%"_s);
        QVERIFY(model.NamesModel()->stringList().contains("改名 + 100%"_s));

        // The server's tree agrees with what the model built locally.
        const QString mathsPath = PathOf(model, maths);
        const QString algebraPath = PathOf(model, algebra);
        QVERIFY(LoadTree(&model));
        QCOMPARE(PathOf(model, maths), mathsPath);
        QCOMPARE(PathOf(model, algebra), algebraPath);
        QCOMPARE(model.CateName(algebra), "改名 + 100%"_s);
        QCOMPARE(model.CateName(newId), added);
        QCOMPARE(PathOf(model, newId),
                 PathOf(model, top) + QLatin1Char(',') + QString::number(newId));
    }

    void failedAddReportsAndLeavesTree()
    {
        CategoryTreeModel model;
        model.SetAccount(ModelsPlatform::Account());
        QVERIFY(LoadTree(&model));
        const int rows = model.rowCount(model.index(0, 0));
        QSignalSpy failed(&model, &CategoryTreeModel::SignalAddCategoryFailed);
        QSignalSpy ends(&model, &CategoryTreeModel::SignalTaskEndStatus);
        model.AddCategory(987654321, "Orphan"_s);
        QVERIFY(failed.wait(15000));
        QVERIFY(!failed.first().first().toString().isEmpty());
        QTRY_COMPARE(ends.count(), 1);
        QCOMPARE(ends.first().at(1).value<EndStatus>(), TaskManager::Exception);
        QCOMPARE(model.rowCount(model.index(0, 0)), rows);
    }

    void supersededPageLoadEndsAbort()
    {
        VideoTableModel model(*SDKManager::instance());
        model.SetAccount(ModelsPlatform::Account());
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(ModelsPlatform::SetFault("path=/v3/video/list-video,delay=1500,times=1"_s));
        QSignalSpy aborted(&model, &VideoTableModel::SignalRefreshVideoListAbort);
        QSignalSpy failed(&model, &VideoTableModel::SignalRefreshVideoListFailed);
        QSignalSpy succeed(&model, &VideoTableModel::SignalRefreshVideoListSucceed);
        QSignalSpy ends(&model, &VideoTableModel::SignalTaskEndStatus);
        const QUuid first = model.RefreshVideoList(login.cateId, QString(), true, 1, 10,
                                                   ApiCollection::CreationTimeAsc);
        QTest::qWait(200);
        model.RefreshVideoList(login.cateId, QString(), true, 2, 10,
                               ApiCollection::CreationTimeAsc);

        QVERIFY(succeed.wait(15000));
        QTRY_COMPARE(aborted.count(), 1);
        QCOMPARE(failed.count(), 0);
        QCOMPARE(succeed.count(), 1);
        QCOMPARE(succeed.first().at(0).toULongLong(), qulonglong(2));
        QCOMPARE(model.rowCount(), 10);
        // Page 2 in creation order holds demo videos 11 to 20.
        QCOMPARE(model.item(0, 0)->data(int(VRole::Title)).toString(), "Demo video 11"_s);
        bool firstEnded = false;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&]() {
                for (const QList<QVariant>& end : qAsConst(ends)) {
                    if (end.at(0).toUuid() == first) {
                        firstEnded = true;
                        return end.at(1).value<EndStatus>() == TaskManager::Abort;
                    }
                }
                return false;
            }(),
            10000);
        QVERIFY(firstEnded);
        model.StopAllTasksAndWait();
    }

    void deleteSkipsUploadsOfOtherClients()
    {
        VideoTableModel model(*SDKManager::instance());
        model.SetAccount(ModelsPlatform::Account());
        QVERIFY(LoadAll(&model, login.cateId));
        QCOMPARE(model.rowCount(), 40);
        const QStringList uploading = model.UploadingVids(VidsOf(model));
        QCOMPARE(uploading.size(), 3);
        QString released;
        for (int row = 0; row < model.rowCount() && released.isEmpty(); ++row) {
            if (model.item(row, 0)->data(int(VRole::Status)).toInt() == 60) {
                released = model.item(row, 0)->data(int(VRole::Vid)).toString();
            }
        }

        // None of them is this client's own upload: nothing is sent for them and the failure lists
        // each; the released one is deleted.
        QSignalSpy failed(&model, &VideoTableModel::SignalDeleteVideosFailed);
        QSignalSpy succeed(&model, &VideoTableModel::SignalDeleteVideosSucceed);
        model.DeleteVideos(QStringList(uploading) << released);
        QVERIFY(failed.wait(15000));
        QCOMPARE(succeed.count(), 0);
        const auto errors = failed.first().first().value<VideoTableModel::DeleteErrors>();
        QCOMPARE(errors.size(), uploading.size());
        for (int i = 0; i < uploading.size(); ++i) {
            QCOMPARE(errors[i].first, uploading[i]);
            QCOMPARE(errors[i].second, "DeleteUploadingVideoFromOtherClient"_s);
        }
        QVERIFY(LoadAll(&model, login.cateId));
        const QStringList after = VidsOf(model);
        for (const QString& vid : uploading) {
            QVERIFY2(after.contains(vid), qPrintable(vid));
        }
        QVERIFY(!after.contains(released));
    }

    void thumbnailsComeFromCacheSecondTime()
    {
        VideoTableModel model(*SDKManager::instance());
        model.SetAccount(ModelsPlatform::Account());
        QSignalSpy thumbs(&model, &VideoTableModel::SignalThumbsAlready);
        QVERIFY(LoadAll(&model, login.cateId));
        int withThumbnail = 0;
        for (int row = 0; row < model.rowCount(); ++row) {
            withThumbnail +=
                model.item(row, 0)->data(int(VRole::ThumbnailURL)).toUrl().isEmpty() ? 0 : 1;
        }
        QVERIFY(withThumbnail > 10);
        QTRY_VERIFY_WITH_TIMEOUT(!model.Worker()->HasTasks(), 30000);
        QCOMPARE(thumbs.count(), withThumbnail);

        // Every thumbnail is cached; one gets replaced by a red image, one by garbage.
        QStringList files;
        for (int row = 0; row < model.rowCount(); ++row) {
            const QUrl url = model.item(row, 0)->data(int(VRole::ThumbnailURL)).toUrl();
            if (url.isEmpty()) {
                continue;
            }
            const QString vid = model.item(row, 0)->data(int(VRole::Vid)).toString();
            const QString file = DataDirPath("thumbs/%1/%2"_s.arg(login.userId, vid)) +
                                 QLatin1Char('/') + url.fileName();
            QVERIFY2(!QImage(file).isNull(), qPrintable(file));
            files.append(file);
        }
        QImage red(8, 8, QImage::Format_RGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(files[0], "PNG"));
        {
            QFile corrupt(files[1]);
            QVERIFY(corrupt.open(QIODevice::WriteOnly | QIODevice::Truncate));
            corrupt.write("not an image");
        }
        QHash<QString, QDateTime> stamps;
        for (const QString& file : qAsConst(files)) {
            stamps.insert(file, QFileInfo(file).lastModified());
        }
        QTest::qWait(1100);  // file times have one-second steps on some file systems

        thumbs.clear();
        QVERIFY(LoadAll(&model, login.cateId));
        QTRY_VERIFY_WITH_TIMEOUT(!model.Worker()->HasTasks(), 30000);
        QCOMPARE(thumbs.count(), withThumbnail);
        // The red one came from the cache, the corrupt one from the server; nothing else was
        // fetched.
        QCOMPARE(QImage(files[0]).pixelColor(0, 0), QColor(Qt::red));
        QVERIFY(!QImage(files[1]).isNull());
        for (const QString& file : qAsConst(files)) {
            if (file == files[1]) {
                QVERIFY(QFileInfo(file).lastModified() != stamps.value(file));
            } else {
                QCOMPARE(QFileInfo(file).lastModified(), stamps.value(file));
            }
        }
        for (const QList<QVariant>& arguments : qAsConst(thumbs)) {
            const QPixmap pixmap = arguments.at(1).value<QPixmap>();
            QVERIFY(!pixmap.isNull());
            if (files[0].contains(arguments.at(0).toString())) {
                QCOMPARE(pixmap.toImage().pixelColor(0, 0), QColor(Qt::red));
            }
        }
    }

private:
    QTemporaryDir settings;
    ApiCollection::LoginResult login;
};

QTEST_MAIN(TestModelsPlatform)
#include "tst_models_platform.moc"

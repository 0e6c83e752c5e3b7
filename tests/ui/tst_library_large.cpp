// The library page over the devplatform's large library (10,101 categories, 100,000 videos): the
// category filter that waits for Enter above 1,000 names (the rule alone: tst_shell;
// paging: tst_library; paging at this scale: bench/library).
#include <QAbstractItemView>
#include <QCompleter>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

#include "LibraryPlatform.h"
#include "ModelsPlatform.h"
#include "WindowTest.h"
#include "common/PlatformTestConfig.h"
#include "common/TestLiterals.h"
#include "models/RecursiveFilterProxyModel.h"
#include "store/DBManager.h"
#include "upload/SDKManager.h"

class TestLibraryLarge : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(ModelsPlatform::Configured());
        MakePlatformTestConfig(dir.filePath("global.ini"_s), this);
        QVERIFY(DBManager::instance()->Open(dir.filePath("kvr-upload-client.db"_s)));
        accounts = new AccountManager(this);
        QVERIFY(LibraryPlatform::SignIn(accounts, "demo@kavro.example"_s, "demo1234"_s));
        categories = new CategoryTreeModel(this);
        videos = new VideoTableModel(*SDKManager::instance(), this);
        videos->SetCategoryModel(categories);
        LibraryPlatform::HandAccount(*accounts, categories, videos);
        page = new VideoListWidget(*accounts, *categories, *videos, *SDKManager::instance());
        page->resize(1280, 800);
        page->show();
        QSignalSpy tree(categories, &CategoryTreeModel::SignalRefreshCategorySucceed);
        page->RefreshCategory();
        QVERIFY(tree.wait(60000));
        QVERIFY(LibraryPlatform::WaitForPage(page, 60000));
    }

    void cleanupTestCase()
    {
        delete page;
        videos->StopAllTasksAndWait();
        categories->StopAllTasksAndWait();
        DBManager::Destroy();
        // The pool threads end before the process does, and with them the TLS library's
        // per-thread state (else the leak checker of the sanitized suite reports it).
        QThreadPool::globalInstance()->waitForDone();
    }

    void filterWaitsForEnter()
    {
        QVERIFY(categories->NamesModel()->rowCount() > 1000);
        auto* field = Child<QLineEdit>(page, "searchCateLineEdit");
        RecursiveFilterProxyModel* proxy = page->TreeProxy();
        QTest::keyClicks(field, "Bulk 7.13.1"_s);
        QTest::qWait(100);
        QVERIFY(proxy->filterRegExp().pattern().isEmpty());
        // Enter reaches the completer's list when it is open, else the field.
        QWidget* popup = field->completer()->popup();
        QTest::keyClick(popup->isVisible() ? popup : static_cast<QWidget*>(field), Qt::Key_Return);
        QTRY_VERIFY(!proxy->filterRegExp().pattern().isEmpty());
        // Library > Bulk > Bulk 7 > Bulk 7.13 > Bulk 7.13.1, .10 .. .19
        QModelIndex index = proxy->index(0, 0);
        for (int depth = 0; depth < 3; ++depth) {
            QCOMPARE(proxy->rowCount(index), 1);
            index = proxy->index(0, 0, index);
        }
        QCOMPARE(index.data().toString(), "Bulk 7.13"_s);
        QCOMPARE(proxy->rowCount(index), 11);
        field->clear();  // an emptied field applies at once
        QVERIFY(proxy->filterRegExp().pattern().isEmpty());
    }

private:
    QTemporaryDir dir;
    AccountManager* accounts = nullptr;
    CategoryTreeModel* categories = nullptr;
    VideoTableModel* videos = nullptr;
    VideoListWidget* page = nullptr;
};

QTEST_MAIN(TestLibraryLarge)
#include "tst_library_large.moc"

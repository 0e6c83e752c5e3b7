// The library page over the devplatform's large library (10,101 categories, 100,000 videos): the
// category filter that waits for Enter above 1,000 names (the rule alone: tst_shell;
// paging: tst_library; paging at this scale: bench/library).
#include <QAbstractItemView>
#include <QCompleter>
#include <QLineEdit>
#include <QtTest>

#include "LibraryTest.h"
#include "WindowTest.h"
#include "common/TestLiterals.h"
#include "models/RecursiveFilterProxyModel.h"

class TestLibraryLarge : public LibraryTest
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(OpenLibrary());
        page = new VideoListWidget(*accounts, *categories, *videos, *SDKManager::instance());
        page->resize(1280, 800);
        page->show();
        QVERIFY(LibraryPlatform::LoadPage(page, categories, 60000));
    }

    void cleanupTestCase()
    {
        delete page;
        CloseLibrary();
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
    }

private:
    VideoListWidget* page = nullptr;
};

QTEST_MAIN(TestLibraryLarge)
#include "tst_library_large.moc"

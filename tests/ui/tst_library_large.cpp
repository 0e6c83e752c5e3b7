// The library page over the devplatform's large library (10,101 categories, 100,000 videos):
// paging through 5,000 pages with the five-button window, jumping, a new page size, and the
// category filter that waits for Enter above 1,000 names.
#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "LibraryPlatform.h"
#include "ModelsPlatform.h"
#include "common/PlatformTestConfig.h"
#include "models/CategoryTreeModel.h"
#include "models/RecursiveFilterProxyModel.h"
#include "store/DBManager.h"
#include "ui/library/Paginator.h"
#include "upload/SDKManager.h"

namespace {

template <typename T = QWidget>
T* Child(QObject* parent, const char* name)
{
    return parent ? parent->findChild<T*>(QLatin1String(name)) : nullptr;
}

QStringList Window(Paginator* paginator)
{
    QStringList numbers;
    for (const char* name : {"firstBtn", "secondBtn", "thirdBtn", "fourthBtn", "fifthBtn"}) {
        auto* button = Child<QPushButton>(paginator, name);
        if (button->isVisible()) {
            numbers.append(button->text() +
                           (button->isChecked() ? QStringLiteral("*") : QString()));
        }
    }
    return numbers;
}

}  // namespace

class TestLibraryLarge : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void paging();
    void filterWaitsForEnter();

private:
    QTemporaryDir dir;
    AccountManager* accounts = nullptr;
    CategoryTreeModel* categories = nullptr;
    VideoTableModel* videos = nullptr;
    VideoListWidget* page = nullptr;
};

void TestLibraryLarge::initTestCase()
{
    QVERIFY(ModelsPlatform::Configured());
    MakePlatformTestConfig(dir.filePath(QStringLiteral("global.ini")), this);
    QVERIFY(DBManager::instance()->Open(dir.filePath(QStringLiteral("kvr-upload-client.db"))));
    accounts = new AccountManager(this);
    QVERIFY(LibraryPlatform::SignIn(accounts, QStringLiteral("demo@kavro.example"),
                                    QStringLiteral("demo1234")));
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

void TestLibraryLarge::cleanupTestCase()
{
    delete page;
    videos->StopAllTasksAndWait();
    categories->StopAllTasksAndWait();
    DBManager::Destroy();
    // The pool threads end before the process does, and with them the TLS library's
    // per-thread state (else the leak checker of the sanitized suite reports it).
    QThreadPool::globalInstance()->waitForDone();
}

void TestLibraryLarge::paging()
{
    // Every video of the library, 20 to a page.
    Child<QPushButton>(page, "containSubCateButton")->click();
    QVERIFY(LibraryPlatform::WaitForPage(page, 60000));
    auto* paginator = Child<Paginator>(page, "paginator");
    const qulonglong total = paginator->Total();
    QVERIFY2(total >= 5000, qPrintable(QString::number(total)));
    QCOMPARE(Window(paginator).join(QLatin1Char(',')), QStringLiteral("1*,2,3,4,5"));
    QCOMPARE(videos->rowCount(), 20);

    auto go = [this](const std::function<void()>& click) {
        QSignalSpy loaded(videos, &VideoTableModel::SignalRefreshVideoListSucceed);
        click();
        return loaded.wait(60000) && LibraryPlatform::WaitForPage(page, 60000);
    };
    QVERIFY(go([paginator] { Child<QPushButton>(paginator, "fifthBtn")->click(); }));
    QCOMPARE(page->Page(), 5);
    QCOMPARE(Window(paginator).join(QLatin1Char(',')), QStringLiteral("3,4,5*,6,7"));
    const QString firstOfPage5 =
        videos->index(0, 0).data(int(VideoTableModel::DataRole::Vid)).toString();

    QVERIFY(go([paginator] { Child<QPushButton>(paginator, "nextBtn")->click(); }));
    QCOMPARE(Window(paginator).join(QLatin1Char(',')), QStringLiteral("4,5,6*,7,8"));
    QVERIFY(videos->index(0, 0).data(int(VideoTableModel::DataRole::Vid)).toString() !=
            firstOfPage5);

    // Jump to the last page and to one in the middle.
    auto* pages = Child<QComboBox>(paginator, "pageComboBox");
    QCOMPARE(qulonglong(pages->count()), total);
    QVERIFY(go([pages, total] { emit pages->textActivated(QString::number(total)); }));
    QCOMPARE(qulonglong(page->Page()), total);
    QCOMPARE(Window(paginator).join(QLatin1Char(',')), QStringLiteral("%1,%2,%3,%4,%5*")
                                                           .arg(total - 4)
                                                           .arg(total - 3)
                                                           .arg(total - 2)
                                                           .arg(total - 1)
                                                           .arg(total));
    QVERIFY(!Child<QPushButton>(paginator, "nextBtn")->isEnabled());
    QVERIFY(go([pages] { emit pages->textActivated(QStringLiteral("2500")); }));
    QCOMPARE(Window(paginator).join(QLatin1Char(',')), QStringLiteral("2498,2499,2500*,2501,2502"));
    QCOMPARE(pages->currentText(), QStringLiteral("2500"));

    // A new page size starts again at page 1.
    auto* sizes = Child<QComboBox>(paginator, "pageSizeComboBox");
    QVERIFY(go([sizes] { sizes->setCurrentIndex(2); }));
    QCOMPARE(page->Page(), 1);
    QCOMPARE(page->PageSize(), 100);
    QCOMPARE(videos->rowCount(), 100);
    QCOMPARE(paginator->Total(), (total + 4) / 5);
    QCOMPARE(sizes->currentData().toInt(), 100);

    // A failed load leaves the bar on the page still shown.
    QVERIFY(
        ModelsPlatform::SetFault(QStringLiteral("path=/v3/video/list-video,code=1114,times=1")));
    QSignalSpy failed(videos, &VideoTableModel::SignalRefreshVideoListFailed);
    Child<QPushButton>(paginator, "thirdBtn")->click();
    QVERIFY(failed.wait(60000));
    QCOMPARE(paginator->Current(), 1ULL);
    QCOMPARE(Window(paginator).join(QLatin1Char(',')), QStringLiteral("1*,2,3,4,5"));
    ModelsPlatform::SetFault(QString());
}

void TestLibraryLarge::filterWaitsForEnter()
{
    QVERIFY(categories->NamesModel()->rowCount() > 1000);
    auto* field = Child<QLineEdit>(page, "searchCateLineEdit");
    RecursiveFilterProxyModel* proxy = page->TreeProxy();
    QTest::keyClicks(field, QStringLiteral("Bulk 7.13.1"));
    QVERIFY(proxy->filterRegExp().pattern().isEmpty());
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
    QCOMPARE(index.data().toString(), QStringLiteral("Bulk 7.13"));
    QCOMPARE(proxy->rowCount(index), 11);
    field->clear();  // an emptied field applies at once
    QVERIFY(proxy->filterRegExp().pattern().isEmpty());
}

QTEST_MAIN(TestLibraryLarge)
#include "tst_library_large.moc"

// The library page against the devplatform's demo library, signed in through the real account
// manager: the first page with thumbnails, search in the current category and in all, sorting
// by the header, moving and deleting (also partly refused), adding, renaming and moving
// categories with every refusal, a search outside the Basic Multilingual Plane, upload tasks
// while the page is hidden, the CSV export's bytes, and what a viewer sub-account is offered.
#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "LibraryPlatform.h"
#include "ModelsPlatform.h"
#include "account/AccountManager.h"
#include "api/ApiErrors.h"
#include "app/DataDir.h"
#include "common/PlatformTestConfig.h"
#include "models/CategoryTreeModel.h"
#include "models/RecursiveFilterProxyModel.h"
#include "models/VideoTableModel.h"
#include "store/DBManager.h"
#include "tasks/VideoTableModelWorker.h"
#include "ui/common/MsgBox.h"
#include "ui/common/Toast.h"
#include "ui/library/AddCategoryDialog.h"
#include "ui/library/CategoryTreeView.h"
#include "ui/library/CheckableHeaderView.h"
#include "ui/library/DeleteVideoFailedPromptDialog.h"
#include "ui/library/SelectCategoryDialog.h"
#include "ui/library/TableViewDelegate.h"
#include "ui/library/VideoListWidget.h"
#include "ui/library/VideoTableView.h"
#include "upload/SDKManager.h"

namespace {

constexpr int kCateId = int(CategoryTreeModel::DataRole::CateId);
constexpr int kVid = int(VideoTableModel::DataRole::Vid);
constexpr int kTitle = int(VideoTableModel::DataRole::Title);
constexpr int kVideoCate = int(VideoTableModel::DataRole::CateId);

template <typename T = QWidget>
T* Child(QObject* parent, const char* name)
{
    return parent ? parent->findChild<T*>(QLatin1String(name)) : nullptr;
}

// Texts of the toasts shown over widget (and its children) so far.
QStringList Toasts(QWidget* widget)
{
    QStringList texts;
    for (Toast* toast : widget->window()->findChildren<Toast*>()) {
        texts.append(toast->Text());
    }
    return texts;
}

// Runs act once the next modal dialog is up (the caller then opens it).
void OnNextModal(std::function<void(QWidget*)> act)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            act(modal);
        }
    });
    timer->start(50);
}

QStringList Titles(const QAbstractItemModel* model)
{
    QStringList titles;
    for (int row = 0; row < model->rowCount(); ++row) {
        titles.append(model->index(row, 0).data(kTitle).toString());
    }
    return titles;
}

// One line of an RFC 4180 file into its fields.
QStringList ParseCsvLine(const QString& line)
{
    QStringList fields;
    QString field;
    bool quoted = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar ch = line.at(i);
        if (quoted) {
            if (ch == QLatin1Char('"') && i + 1 < line.size() &&
                line.at(i + 1) == QLatin1Char('"')) {
                field += ch;
                ++i;
            } else if (ch == QLatin1Char('"')) {
                quoted = false;
            } else {
                field += ch;
            }
        } else if (ch == QLatin1Char('"')) {
            quoted = true;
        } else if (ch == QLatin1Char(',')) {
            fields.append(field);
            field.clear();
        } else {
            field += ch;
        }
    }
    fields.append(field);
    return fields;
}

}  // namespace

class TestLibrary : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void firstPageWithThumbnails();
    void failedThumbnailRetried();
    void search_data();
    void search();
    void searchOutsideBmpRefused();
    void sortByHeader();
    void moveVideo();
    void deleteVideo();
    void deletePartlyRefused();
    void addCategory();
    void renameCategory();
    void moveCategory();
    void uploadTasksWhileHidden();
    void csvExport();
    void viewerPermissions();

private:
    bool SignIn(AccountManager* manager, const QString& email, const QString& password);
    bool WaitForPage(VideoListWidget* page);
    qulonglong CateIdOf(const QString& name) const;
    void ShowCategory(const QString& name, bool containSub);

    QTemporaryDir dir;
    AccountManager* accounts = nullptr;
    CategoryTreeModel* categories = nullptr;
    VideoTableModel* videos = nullptr;
    QStackedWidget* window = nullptr;
    QWidget* otherPage = nullptr;
    VideoListWidget* page = nullptr;
};

bool TestLibrary::SignIn(AccountManager* manager, const QString& email, const QString& password)
{
    return LibraryPlatform::SignIn(manager, email, password);
}

bool TestLibrary::WaitForPage(VideoListWidget* target)
{
    return LibraryPlatform::WaitForPage(target);
}

qulonglong TestLibrary::CateIdOf(const QString& name) const
{
    const QModelIndexList found = categories->match(categories->index(0, 0), Qt::DisplayRole, name,
                                                    1, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? 0 : found.first().data(kCateId).toULongLong();
}

void TestLibrary::ShowCategory(const QString& name, bool containSub)
{
    QVERIFY(page->SelectCategory(CateIdOf(name)));
    QVERIFY(WaitForPage(page));
    if (page->ContainSubCate() != containSub) {
        Child<QPushButton>(page, containSub ? "containSubCateButton" : "noContainSubCateButton")
            ->click();
        QVERIFY(WaitForPage(page));
    }
}

void TestLibrary::initTestCase()
{
    QVERIFY(ModelsPlatform::Configured());
    MakePlatformTestConfig(dir.filePath(QStringLiteral("global.ini")), this);
    QVERIFY(DBManager::instance()->Open(dir.filePath(QStringLiteral("kvr-upload-client.db"))));
    accounts = new AccountManager(this);
    QVERIFY(SignIn(accounts, QStringLiteral("demo@kavro.example"), QStringLiteral("demo1234")));
    categories = new CategoryTreeModel(this);
    videos = new VideoTableModel(*SDKManager::instance(), this);
    videos->SetCategoryModel(categories);
    LibraryPlatform::HandAccount(*accounts, categories, videos);

    window = new QStackedWidget;
    page = new VideoListWidget(*accounts, *categories, *videos, *SDKManager::instance(), window);
    otherPage = new QWidget(window);
    window->addWidget(page);
    window->addWidget(otherPage);
    window->resize(1280, 800);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QSignalSpy tree(categories, &CategoryTreeModel::SignalRefreshCategorySucceed);
    page->RefreshCategory();
    QVERIFY(tree.wait(20000));
    QVERIFY(WaitForPage(page));
}

void TestLibrary::cleanupTestCase()
{
    delete window;
    videos->StopAllTasksAndWait();
    categories->StopAllTasksAndWait();
    DBManager::Destroy();
    // The pool threads end before the process does, and with them the TLS library's
    // per-thread state (else the leak checker of the sanitized suite reports it).
    QThreadPool::globalInstance()->waitForDone();
}

void TestLibrary::firstPageWithThumbnails()
{
    QCOMPARE(page->CurrentCateId(), categories->TopCateId());
    QVERIFY(Child(page, "videoTablePage")->isVisible());
    const int rows = videos->rowCount();
    QVERIFY(rows > 0);
    QCOMPARE(Child<QLabel>(page, "statusBar")->text(), QStringLiteral("Total %1 videos").arg(rows));
    QVERIFY(Child(page, "paginator")->isVisible());

    // Rows whose video has a picture end up with it; the others keep the default picture.
    const qint64 defaultKey = videos->Worker()->DefaultThumbnail().cacheKey();
    int real = 0;
    int withUrl = 0;
    for (int row = 0; row < rows; ++row) {
        const bool hasUrl = !videos->index(row, 0)
                                 .data(int(VideoTableModel::DataRole::ThumbnailURL))
                                 .toUrl()
                                 .isEmpty();
        const QPixmap thumb =
            videos->index(row, 1).data(VideoTableModel::kThumbnailRole).value<QPixmap>();
        QVERIFY(!thumb.isNull());
        withUrl += hasUrl ? 1 : 0;
        real += thumb.cacheKey() != defaultKey ? 1 : 0;
        if (!hasUrl) {
            QCOMPARE(thumb.cacheKey(), defaultKey);
        }
    }
    QVERIFY(withUrl > 0);
    QCOMPARE(real, withUrl);
}

void TestLibrary::failedThumbnailRetried()
{
    auto thumbnails = [this] {
        const qint64 defaultKey = videos->Worker()->DefaultThumbnail().cacheKey();
        int real = 0;
        for (int row = 0; row < videos->rowCount(); ++row) {
            const QPixmap thumb =
                videos->index(row, 1).data(VideoTableModel::kThumbnailRole).value<QPixmap>();
            real += thumb.cacheKey() != defaultKey ? 1 : 0;
        }
        return real;
    };
    const int shown = thumbnails();
    QVERIFY(shown > 0);
    QVERIFY(QDir(DataDirPath(QStringLiteral("thumbs"))).removeRecursively());
    QVERIFY(ModelsPlatform::SetFault(QStringLiteral("path=/files/,status=500")));
    Child<QPushButton>(page, "refreshVideoTableButton")->click();
    QVERIFY(WaitForPage(page));
    QCOMPARE(thumbnails(), 0);  // every row keeps the default picture, nothing keeps loading
    QVERIFY(ModelsPlatform::SetFault(QString()));
    Child<QPushButton>(page, "refreshVideoTableButton")->click();
    QVERIFY(WaitForPage(page));
    QCOMPARE(thumbnails(), shown);
}

void TestLibrary::search_data()
{
    QTest::addColumn<QString>("category");
    QTest::addColumn<bool>("allCategories");
    QTest::newRow("in the current category") << "Courses" << false;
    QTest::newRow("in all categories") << "Courses" << true;
}

void TestLibrary::search()
{
    QFETCH(QString, category);
    QFETCH(bool, allCategories);
    ShowCategory(category, false);
    auto* scope = Child<QComboBox>(page, "searchVideoCateTypeComboBox");
    scope->setCurrentIndex(allCategories ? 1 : 0);
    auto* field = Child<QLineEdit>(page, "searchVideoLineEdit");
    field->setText(QStringLiteral("Demo video 1"));
    QTest::keyClick(field, Qt::Key_Return);
    QVERIFY(WaitForPage(page));

    const QStringList titles = Titles(videos);
    for (const QString& title : titles) {
        QVERIFY2(title.contains(QStringLiteral("Demo video 1")), qPrintable(title));
    }
    if (allCategories) {
        // "Demo video 10" .. "Demo video 19", wherever they are filed.
        QCOMPARE(titles.size(), 10);
        QVERIFY(page->ContainSubCate());
    } else {
        QVERIFY(titles.size() < 10);
        for (int row = 0; row < videos->rowCount(); ++row) {
            QCOMPARE(videos->index(row, 0).data(kVideoCate).toULongLong(), CateIdOf(category));
        }
    }
    scope->setCurrentIndex(0);
    field->clear();  // an emptied field reloads the category
    QVERIFY(WaitForPage(page));
    QVERIFY(Titles(videos).size() >= titles.size());
}

void TestLibrary::searchOutsideBmpRefused()
{
    QSignalSpy loads(videos, &VideoTableModel::SignalRefreshVideoListAboutToDo);
    auto* field = Child<QLineEdit>(page, "searchVideoLineEdit");
    field->setText(QStringLiteral("clip \U0001F3AC"));
    QTest::keyClick(field, Qt::Key_Return);
    QTest::qWait(300);
    QCOMPARE(loads.size(), 0);
    QVERIFY(
        Toasts(page).contains(QStringLiteral("VideoListWidget.RefreshVideoListMySQLIncompatible")));
    const QSignalBlocker blocker(field);
    field->clear();
}

void TestLibrary::sortByHeader()
{
    ShowCategory(QStringLiteral("Library"), true);
    CheckableHeaderView* header = page->Table()->Header();
    auto clickSection = [header](int section) {
        QTest::mouseClick(
            header->viewport(), Qt::LeftButton, Qt::NoModifier,
            QPoint(header->sectionViewportPosition(section) + 6, header->height() / 2));
    };
    clickSection(2);
    QVERIFY(WaitForPage(page));
    QStringList titles = Titles(videos);
    QStringList sorted = titles;
    std::sort(sorted.begin(), sorted.end(), std::greater<QString>());
    QCOMPARE(titles, sorted);
    QCOMPARE(titles.first(), QStringLiteral("Demo video 40"));

    clickSection(2);
    QVERIFY(WaitForPage(page));
    QCOMPARE(Titles(videos).first(), QStringLiteral("Demo video 01"));

    clickSection(5);  // back to the time column: oldest first
    QVERIFY(WaitForPage(page));
    QCOMPARE(Titles(videos).first(), QStringLiteral("Demo video 01"));
    clickSection(5);
    QVERIFY(WaitForPage(page));
    QCOMPARE(Titles(videos).first(), QStringLiteral("Demo video 40"));
    QCOMPARE(header->CurrentSortMethod(), int(ApiCollection::CreationTimeDesc));
}

void TestLibrary::moveVideo()
{
    ShowCategory(QStringLiteral("Courses"), false);
    QVERIFY(videos->rowCount() > 0);
    const QString vid = videos->index(0, 0).data(kVid).toString();
    const qulonglong archive = CateIdOf(QStringLiteral("Archive"));
    page->Table()->selectRow(0);
    QCOMPARE(videos->CheckedVids(), QStringList{vid});

    QSignalSpy moved(videos, &VideoTableModel::SignalMoveVideoSucceed);
    QSignalSpy reloads(videos, &VideoTableModel::SignalRefreshVideoListSucceed);
    OnNextModal([archive](QWidget* modal) {
        auto* dialog = qobject_cast<SelectCategoryDialog*>(modal);
        QVERIFY(dialog);
        QCOMPARE(dialog->CurrentMode(), SelectCategoryDialog::MoveVideo);
        Child<QPushButton>(dialog, "okButton")->click();  // nothing chosen yet
        QVERIFY(Toasts(dialog).contains(QStringLiteral("SelectCategoryDialog.NoSelected")));
        QVERIFY(dialog->SelectCategory(archive));
        Child<QPushButton>(dialog, "okButton")->click();
    });
    Child<QPushButton>(page, "moveMultiVideoButton")->click();
    QVERIFY(moved.size() == 1 || moved.wait(20000));
    QCOMPARE(moved.first().at(0).toStringList(), QStringList{vid});
    QCOMPARE(moved.first().at(1).toULongLong(), archive);
    QVERIFY(Toasts(page).contains(QStringLiteral("VideoListWidget.MoveVideoSucceed")));
    QVERIFY(reloads.wait(20000));
    QVERIFY(WaitForPage(page));
    for (int row = 0; row < videos->rowCount(); ++row) {
        QVERIFY(videos->index(row, 0).data(kVid).toString() != vid);
    }
}

void TestLibrary::deleteVideo()
{
    ShowCategory(QStringLiteral("Archive"), false);
    const int before = videos->rowCount();
    QVERIFY(before > 0);
    const QString vid = videos->index(0, 0).data(kVid).toString();
    page->Table()->selectRow(0);

    QSignalSpy deleted(videos, &VideoTableModel::SignalDeleteVideosSucceed);
    QString confirmText;
    OnNextModal([&confirmText](QWidget* modal) {
        confirmText = Child<QLabel>(modal, "msgLabel")->text();
        auto* buttons = Child<QDialogButtonBox>(modal, "buttonBox");
        QCOMPARE(buttons->button(QDialogButtonBox::Ok)->text(), QStringLiteral("Delete"));
        buttons->button(QDialogButtonBox::Ok)->click();
    });
    Child<QPushButton>(page, "deleteMultiVideoButton")->click();
    QVERIFY(confirmText.startsWith(QStringLiteral("VideoListWidget.DeleteVideoConfirmMessage")));
    QVERIFY(deleted.wait(20000));
    QVERIFY(Toasts(page).contains(QStringLiteral("VideoListWidget.DeleteVideoSucceed")));
    QVERIFY(WaitForPage(page));
    QCOMPARE(videos->rowCount(), before - 1);
}

void TestLibrary::deletePartlyRefused()
{
    ShowCategory(QStringLiteral("Library"), true);
    QVERIFY(videos->rowCount() >= 2);
    const QString first = videos->index(0, 0).data(kVid).toString();
    const QString second = videos->index(1, 0).data(kVid).toString();
    page->Table()->selectRow(0);
    page->Table()->selectRow(1);
    QVERIFY(ModelsPlatform::SetFault(QStringLiteral("path=/v3/video/delete-video,code=%1,times=1")
                                         .arg(int(ApiCollection::VIDEO_NOT_EXIST))));

    QSignalSpy failed(videos, &VideoTableModel::SignalDeleteVideosFailed);
    OnNextModal([](QWidget* modal) {
        Child<QDialogButtonBox>(modal, "buttonBox")->button(QDialogButtonBox::Ok)->click();
    });
    Child<QPushButton>(page, "deleteMultiVideoButton")->click();
    QVERIFY(failed.wait(20000));
    ModelsPlatform::SetFault(QString());

    auto* prompt = page->findChild<DeleteVideoFailedPromptDialog*>();
    QVERIFY(prompt);
    QCOMPARE(prompt->Count(), 1);
    QCOMPARE(prompt->Summary(),
             QStringLiteral("Delete <span style='color: #FF4646'>1</span> videos Failed"));
    const QString line = prompt->Lines().value(0);
    QVERIFY2(line.contains(first), qPrintable(line));
    QVERIFY2(line.contains(
                 ApiCollection::errorCodeString(ApiCollection::VIDEO_NOT_EXIST).toHtmlEscaped()),
             qPrintable(line));
    prompt->accept();
    QVERIFY(WaitForPage(page));
    const QStringList vids = [this] {
        QStringList list;
        for (int row = 0; row < videos->rowCount(); ++row) {
            list.append(videos->index(row, 0).data(kVid).toString());
        }
        return list;
    }();
    QVERIFY(vids.contains(first));
    QVERIFY(!vids.contains(second));
}

void TestLibrary::addCategory()
{
    const qulonglong mathematics = CateIdOf(QStringLiteral("Mathematics"));
    QSignalSpy requests(categories, &CategoryTreeModel::SignalTaskEndStatus);
    QSignalSpy added(categories, &CategoryTreeModel::SignalAddCategorySucceed);
    OnNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<AddCategoryDialog*>(modal);
        QVERIFY(dialog);
        QCOMPARE(dialog->ParentCateId(), mathematics);
        auto* input = Child<QLineEdit>(dialog, "inputEditor");
        auto* ok = Child<QPushButton>(dialog, "okButton");
        const struct
        {
            QString name;
            QString toast;
        } refusals[] = {
            {QString(), QStringLiteral("AddCategoryDialog.EmptyCateName")},
            {QStringLiteral("Notes \U0001F4DD"),
             QStringLiteral("AddCategoryDialog.CateNameMySQLIncompatible")},
            {QStringLiteral("Algebra"), QStringLiteral("AddCategoryDialog.CateNameDuplicated")},
        };
        for (const auto& refusal : refusals) {
            input->setText(refusal.name);
            ok->click();
            QVERIFY(Toasts(dialog).contains(refusal.toast));
            QVERIFY(ok->isEnabled());
        }
        input->clear();
        QTest::keyClicks(input, QString(41, QLatin1Char('x')));
        QCOMPARE(input->text().size(), 40);
        QCOMPARE(Child<QLabel>(dialog, "countLabel")->text(), QStringLiteral("40/40"));
        input->setText(QStringLiteral("algebra"));  // differs only in case: allowed
        ok->click();
        QVERIFY(!ok->isEnabled());
        dialog->close();  // refused while the request runs
        QVERIFY(dialog->isVisible());
        QVERIFY(Toasts(dialog).contains(QStringLiteral("AddCategoryDialog.IsAddingCategory")));
    });
    auto* tree = page->Tree();
    QMenu* menu =
        tree->CreateItemMenu(page->TreeProxy()
                                 ->match(page->TreeProxy()->index(0, 0), kCateId, mathematics, 1,
                                         Qt::MatchExactly | Qt::MatchRecursive)
                                 .first());
    QAction* add = menu->findChild<QAction*>(QStringLiteral("addSubCategoryAction"));
    QVERIFY(add && add->isEnabled());
    add->trigger();
    delete menu;
    QCOMPARE(added.size(), 1);
    QCOMPARE(requests.size(), 1);  // the refusals sent nothing
    const qulonglong newId = added.first().at(0).toULongLong();
    QCOMPARE(categories->ParentCateId(newId), mathematics);
    QCOMPARE(page->CurrentCateId(), newId);
    QVERIFY(Toasts(page).contains(QStringLiteral("VideoListWidget.AddCategorySucceed")));
    QVERIFY(WaitForPage(page));
}

void TestLibrary::renameCategory()
{
    const qulonglong id = CateIdOf(QStringLiteral("algebra"));
    QVERIFY(id != 0);
    RecursiveFilterProxyModel* proxy = page->TreeProxy();
    const QModelIndex index =
        proxy->match(proxy->index(0, 0), kCateId, id, 1, Qt::MatchExactly | Qt::MatchRecursive)
            .first();
    auto* tree = page->Tree();
    auto rename = [tree, index](const QString& name) {
        QLineEdit editor;
        editor.setText(name);
        tree->itemDelegate()->setModelData(&editor, tree->model(), index);
    };
    QSignalSpy renamed(categories, &CategoryTreeModel::SignalRenameCategorySucceed);
    QSignalSpy failed(categories, &CategoryTreeModel::SignalRenameCategoryFailed);
    rename(QStringLiteral("algebra"));  // unchanged: nothing happens
    rename(QString());
    QCOMPARE(failed.size(), 1);
    QVERIFY(Toasts(page).contains(QStringLiteral("VideoListWidget.RenameCategoryFailed:") +
                                  QStringLiteral("CategoryTreeModel.RenameCateNameEmpty")));
    rename(QStringLiteral("Algebra"));  // a sibling's name: the platform refuses
    QVERIFY(failed.wait(20000));
    QCOMPARE(failed.last().at(0).toString(),
             ApiCollection::errorCodeString(ApiCollection::CATANAME_ALREADY_EXIST));
    rename(QStringLiteral("Algebra II"));
    QVERIFY(renamed.wait(20000));
    QCOMPARE(categories->CateName(id), QStringLiteral("Algebra II"));
    QVERIFY(Toasts(page).contains(QStringLiteral("VideoListWidget.RenameCategorySucceed")));

    // The top category is neither renamed nor moved.
    QMenu* menu = tree->CreateItemMenu(proxy->index(0, 0));
    QVERIFY(!menu->findChild<QAction*>(QStringLiteral("renameCategoryAction"))->isEnabled());
    QVERIFY(!menu->findChild<QAction*>(QStringLiteral("moveCategoryAction"))->isEnabled());
    delete menu;
}

void TestLibrary::moveCategory()
{
    const qulonglong id = CateIdOf(QStringLiteral("Algebra II"));
    const qulonglong parent = categories->ParentCateId(id);
    const qulonglong archive = CateIdOf(QStringLiteral("Archive"));
    QSignalSpy moved(categories, &CategoryTreeModel::SignalMoveCategorySucceed);
    QSignalSpy failed(categories, &CategoryTreeModel::SignalMoveCategoryFailed);

    OnNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<SelectCategoryDialog*>(modal);
        QVERIFY(dialog);
        auto* ok = Child<QPushButton>(dialog, "okButton");
        QVERIFY(dialog->SelectCategory(parent));
        ok->click();
        QVERIFY(Toasts(dialog).contains(
            QStringLiteral("SelectCategoryDialog.MoveCategoryToSrcCategory")));
        QVERIFY(dialog->SelectCategory(id));
        ok->click();
        QVERIFY(Toasts(dialog).contains(
            QStringLiteral("SelectCategoryDialog.MoveCategoryToSelfCategory")));
        QCOMPARE(failed.size() + moved.size(), 0);  // refused before any request
        QVERIFY(dialog->SelectCategory(archive));
        ok->click();
        QVERIFY(!ok->isEnabled());
        QTest::keyClick(dialog, Qt::Key_Escape);  // refused while the request runs
        QVERIFY(dialog->isVisible());
        QVERIFY(Toasts(dialog).contains(QStringLiteral("SelectCategoryDialog.IsMovingCategory")));
    });
    RecursiveFilterProxyModel* proxy = page->TreeProxy();
    page->Tree()->SlotMoveCategory(
        proxy->match(proxy->index(0, 0), kCateId, id, 1, Qt::MatchExactly | Qt::MatchRecursive)
            .first());
    QCOMPARE(moved.size(), 1);
    QCOMPARE(categories->ParentCateId(id), archive);
    QCOMPARE(page->CurrentCateId(), id);  // the moved category is selected
    QVERIFY(Toasts(page).contains(QStringLiteral("VideoListWidget.MoveCategorySucceed")));
    QVERIFY(WaitForPage(page));

    // Into its own subtree: the platform refuses and the dialog stays open, usable again. The
    // dialog is closed in every case, so that a failed check cannot leave the modal loop open.
    bool usableAgain = false;
    bool stayedOpen = false;
    QStringList toasts;
    OnNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<SelectCategoryDialog*>(modal);
        auto* ok = Child<QPushButton>(dialog, "okButton");
        if (dialog->SelectCategory(id)) {
            ok->click();
            usableAgain = QTest::qWaitFor([ok] { return ok->isEnabled(); }, 20000);
            stayedOpen = dialog->isVisible();
            toasts = Toasts(dialog);
        }
        Child<QPushButton>(dialog, "cancelButton")->click();
    });
    page->Tree()->SlotMoveCategory(
        proxy->match(proxy->index(0, 0), kCateId, archive, 1, Qt::MatchExactly | Qt::MatchRecursive)
            .first());
    QCOMPARE(failed.size(), 1);
    QVERIFY(usableAgain);
    QVERIFY(stayedOpen);
    QVERIFY(
        toasts.contains(QStringLiteral("SelectCategoryDialog.MoveCategoryFailed:") +
                        ApiCollection::errorCodeString(ApiCollection::CATEGORY_MODIFY_LIMITED)));
    QCOMPARE(categories->ParentCateId(id), archive);
}

void TestLibrary::uploadTasksWhileHidden()
{
    QVERIFY(WaitForPage(page));
    QSignalSpy loads(videos, &VideoTableModel::SignalRefreshVideoListAboutToDo);
    window->setCurrentWidget(otherPage);
    page->SlotUploadTaskAppended();
    page->SlotUploadTaskAppended();
    page->SlotUploadTaskRemoved();
    QTest::qWait(200);
    QCOMPARE(loads.size(), 0);
    QVERIFY(page->RefreshPendingOnShow());
    window->setCurrentWidget(page);
    QVERIFY(WaitForPage(page));
    QCOMPARE(loads.size(), 1);
    QVERIFY(!page->RefreshPendingOnShow());
    window->setCurrentWidget(otherPage);
    window->setCurrentWidget(page);
    QTest::qWait(200);
    QCOMPARE(loads.size(), 1);  // nothing pending any more

    page->SlotUploadTaskAppended();  // shown: at once
    QTRY_COMPARE(loads.size(), 2);
    QVERIFY(WaitForPage(page));
}

void TestLibrary::csvExport()
{
    ShowCategory(QStringLiteral("Languages"), true);
    QVERIFY(videos->rowCount() >= 3);
    const QString tricky = QStringLiteral("Lecture, part \"one\"");
    const QString vid = videos->index(0, 0).data(kVid).toString();
    QSignalSpy updated(videos, &VideoTableModel::SignalUpdateVideoInfoSucceed);
    videos->UpdateVideoInfo(vid, tricky, QStringLiteral("a,b"),
                            QStringLiteral("line one\nline two"));
    QVERIFY(updated.wait(20000));
    QVERIFY(WaitForPage(page));
    for (int row = 0; row < 3; ++row) {
        page->Table()->selectRow(row);
    }
    QCOMPARE(videos->CheckedCount(), 3);
    const QString path = dir.filePath(QStringLiteral("export.csv"));
    QVERIFY(page->ExportCsvTo(path));

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    QVERIFY(bytes.endsWith('\n'));
    QVERIFY(!bytes.contains('\r'));
    const QString text = QString::fromUtf8(bytes.mid(3));
    QVERIFY(text.startsWith(QStringLiteral(
        "vid,title,description,duration,thumbnailURL,coverURL,creationTime,updateTime,size,status,"
        "cateId,cateName,tags,uploader,playTimes,md5Checksum\n")));
    // The quoted fields, byte for byte.
    QVERIFY(text.contains(
        vid + QStringLiteral(",\"Lecture, part \"\"one\"\"\",\"line one\nline two\",")));
    QVERIFY(text.contains(QStringLiteral(",\"a,b\",")));

    // Read back as a spreadsheet would: four records of sixteen fields.
    QStringList records;
    QString record;
    bool quoted = false;
    for (const QChar ch : text) {
        if (ch == QLatin1Char('"')) {
            quoted = !quoted;
        }
        if (ch == QLatin1Char('\n') && !quoted) {
            records.append(record);
            record.clear();
        } else {
            record += ch;
        }
    }
    QCOMPARE(records.size(), 4);
    for (const QString& line : records) {
        QCOMPARE(ParseCsvLine(line).size(), 16);
    }
    const QStringList fields = ParseCsvLine(records.at(1));
    QCOMPARE(fields.at(0), vid);
    QCOMPARE(fields.at(1), tricky);
    QCOMPARE(fields.at(2), QStringLiteral("line one\nline two"));
    QCOMPARE(fields.at(12), QStringLiteral("a,b"));
    // Plain fields are written as they are: numbers in decimal, URLs in full.
    QCOMPARE(fields.at(8),
             QString::number(
                 videos->index(0, 0).data(int(VideoTableModel::DataRole::FileSize)).toULongLong()));
    QCOMPARE(fields.at(10), QString::number(videos->index(0, 0).data(kVideoCate).toULongLong()));
    QVERIFY(fields.at(4).startsWith(QStringLiteral("https://")) || fields.at(4).isEmpty());
}

void TestLibrary::viewerPermissions()
{
    AccountManager viewer;
    QVERIFY(SignIn(&viewer, QStringLiteral("viewer@kavro.example"), QStringLiteral("sub12345")));
    CategoryTreeModel viewerCategories;
    VideoTableModel viewerVideos(*SDKManager::instance());
    viewerVideos.SetCategoryModel(&viewerCategories);
    LibraryPlatform::HandAccount(viewer, &viewerCategories, &viewerVideos);
    VideoListWidget viewerPage(viewer, viewerCategories, viewerVideos, *SDKManager::instance());
    viewerPage.resize(1280, 800);
    viewerPage.show();
    QSignalSpy tree(&viewerCategories, &CategoryTreeModel::SignalRefreshCategorySucceed);
    viewerPage.RefreshCategory();
    QVERIFY(tree.wait(20000));
    QVERIFY(WaitForPage(&viewerPage));
    QVERIFY(viewerVideos.rowCount() > 0);

    for (const char* name :
         {"moveMultiVideoButton", "deleteMultiVideoButton", "addCateButton", "uploadButton"}) {
        auto* button = Child<QPushButton>(&viewerPage, name);
        QVERIFY2(!button->isVisible() && !button->isEnabled(), name);
    }
    QVERIFY(Child<QPushButton>(&viewerPage, "exportButton")->isVisible());
    QVERIFY(Child<QLineEdit>(&viewerPage, "searchCateLineEdit")->isEnabled());  // CateSearch

    RecursiveFilterProxyModel* proxy = viewerPage.TreeProxy();
    const QModelIndex child = proxy->index(0, 0, proxy->index(0, 0));
    QMenu* menu = viewerPage.Tree()->CreateItemMenu(child);
    for (const char* action :
         {"addSubCategoryAction", "moveCategoryAction", "renameCategoryAction"}) {
        QVERIFY2(!menu->findChild<QAction*>(QLatin1String(action))->isEnabled(), action);
    }
    delete menu;
    // Edit needs OperaManage (not given), the code OperaCopyCode (given).
    const int state = TableViewDelegate::kButtonStateRole;
    QCOMPARE(viewerVideos.index(0, int(VideoTableModel::Column::Edit)).data(state).toInt(), 0);
    QCOMPARE(viewerVideos.index(0, int(VideoTableModel::Column::CodeGen)).data(state).toInt(), 1);
    viewerVideos.StopAllTasksAndWait();
    viewerCategories.StopAllTasksAndWait();
}

QTEST_MAIN(TestLibrary)
#include "tst_library.moc"

// The library models and page against the devplatform's demo library, signed in through the real
// account manager, as a user drives them: loading and paging, thumbnails, search, sorting, moving
// and deleting videos, category changes with every refusal, the CSV export, a viewer's page;
// then, with the Chinese texts, the video edit dialog and the batch vid search.
#include <QAbstractItemModelTester>
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QtTest>

#include "LibraryTest.h"
#include "ModelsPlatform.h"
#include "WindowTest.h"
#include "account/AccountManager.h"
#include "api/ApiErrors.h"
#include "app/DataDir.h"
#include "common/TestLiterals.h"
#include "models/CategoryTreeModel.h"
#include "models/RecursiveFilterProxyModel.h"
#include "models/VideoTableModel.h"
#include "tasks/VideoTableModelWorker.h"
#include "ui/library/AddCategoryDialog.h"
#include "ui/library/CategoryTreeView.h"
#include "ui/library/CheckableHeaderView.h"
#include "ui/library/DeleteVideoFailedPromptDialog.h"
#include "ui/library/Paginator.h"
#include "ui/library/SelectCategoryDialog.h"
#include "ui/library/TableViewDelegate.h"
#include "ui/library/VidTextBrowser.h"
#include "ui/library/VideoBatchSearchDialog.h"
#include "ui/library/VideoEditDialog.h"
#include "ui/library/VideoListWidget.h"
#include "ui/library/VideoTableView.h"
#include "upload/SDKManager.h"

namespace {

constexpr int kCateId = int(CategoryTreeModel::DataRole::CateId);
constexpr int kCatePath = int(CategoryTreeModel::DataRole::CateTree);
constexpr int kVid = int(VideoTableModel::DataRole::Vid);
constexpr int kTitle = int(VideoTableModel::DataRole::Title);
constexpr int kVideoCate = int(VideoTableModel::DataRole::CateId);
constexpr int kThumbnailUrl = int(VideoTableModel::DataRole::ThumbnailURL);

QStringList Column(const QAbstractItemModel* model, int role)
{
    QStringList values;
    for (int row = 0; row < model->rowCount(); ++row) {
        values.append(model->index(row, 0).data(role).toString());
    }
    return values;
}

// Types text over what edit holds, one character (or surrogate pair) per key press; "\n" is
// Return.
void Retype(QWidget* edit, const QString& text)
{
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Delete);
    for (const uint code : text.toUcs4()) {
        if (code == '\n') {
            QTest::keyClick(edit, Qt::Key_Return);
        } else {
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString::fromUcs4(&code, 1),
                                Qt::NoModifier);
        }
    }
}

// A vid of the valid form.
QString Vid(int i)
{
    return "%1_%2"_s.arg(QString::number(0x20000000 + i, 16).repeated(4)).arg(i % 10);
}

// The batch search dialog shown, its text browser focused.
struct BatchSearch
{
    BatchSearch()
    {
        dialog.show();
        if (!QTest::qWaitForWindowExposed(&dialog)) {
            qWarning("the batch search dialog was not shown");
        }
        browser->setFocus();
    }
    VideoBatchSearchDialog dialog;
    VidTextBrowser* browser = dialog.Browser();
};

// An RFC 4180 text into its records and their fields.
QList<QStringList> ParseCsv(const QString& text)
{
    static const QRegularExpression field(
        QStringLiteral("\\G(\"(?:[^\"]|\"\")*\"|[^,\"\n]*)([,\n])"));
    QList<QStringList> records{QStringList()};
    for (auto it = field.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        QString value = match.captured(1);
        if (value.startsWith(QLatin1Char('"'))) {
            value = value.mid(1, value.size() - 2).replace("\"\""_s, "\""_s);
        }
        records.last().append(value);
        if (match.captured(2) == QLatin1String("\n")) {
            records.append(QStringList());
        }
    }
    records.removeLast();
    return records;
}

}  // namespace

class TestLibrary : public LibraryTest
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(OpenLibrary());
        window = new QStackedWidget;
        page =
            new VideoListWidget(*accounts, *categories, *videos, *SDKManager::instance(), window);
        otherPage = new QWidget(window);
        window->addWidget(page);
        window->addWidget(otherPage);
        window->resize(1280, 800);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QVERIFY(LibraryPlatform::LoadPage(page, categories));
    }

    void cleanupTestCase()
    {
        delete window;
        CloseLibrary();
    }

    // A reload whose answer differs only in its request id leaves the model untouched.
    void reloadWithSameTreeLeavesModelUntouched()
    {
        CategoryTreeModel model;
        VideoTableModel unusedVideos(*SDKManager::instance());
        LibraryPlatform::HandAccount(*accounts, &model, &unusedVideos);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy loaded(&model, &CategoryTreeModel::SignalRefreshCategorySucceed);
        model.RefreshCategory();
        QVERIFY(loaded.wait(30000));
        QTRY_VERIFY(!model.IsOperating());
        QCOMPARE(model.TopCateId(), categories->TopCateId());
        QVERIFY(model.NamesModel()->stringList().contains("Geometry"_s));
        const QStandardItem* top = model.item(0);
        const int rows = model.rowCount(model.index(0, 0));

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
        QCOMPARE(ends.first().at(1).value<TaskManager::TaskEndStatus>(), TaskManager::Finished);

        // An add the platform refuses (no such parent) reports and leaves the tree.
        QSignalSpy failed(&model, &CategoryTreeModel::SignalAddCategoryFailed);
        ends.clear();
        model.AddCategory(987654321, "Orphan"_s);
        QVERIFY(failed.wait(15000));
        QVERIFY(!failed.first().first().toString().isEmpty());
        QTRY_COMPARE(ends.count(), 1);
        QCOMPARE(ends.first().at(1).value<TaskManager::TaskEndStatus>(), TaskManager::Exception);
        QCOMPARE(model.rowCount(model.index(0, 0)), rows);
    }

    void supersededPageLoadEndsAbort()
    {
        CategoryTreeModel unusedTree;
        VideoTableModel model(*SDKManager::instance());
        LibraryPlatform::HandAccount(*accounts, &unusedTree, &model);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(ModelsPlatform::SetFault("path=/v3/video/list-video,delay=1500,times=1"_s));
        QSignalSpy aborted(&model, &VideoTableModel::SignalRefreshVideoListAbort);
        QSignalSpy failed(&model, &VideoTableModel::SignalRefreshVideoListFailed);
        QSignalSpy succeed(&model, &VideoTableModel::SignalRefreshVideoListSucceed);
        QSignalSpy ends(&model, &VideoTableModel::SignalTaskEndStatus);
        const QUuid first = model.RefreshVideoList(categories->TopCateId(), QString(), true, 1, 10,
                                                   ApiCollection::CreationTimeAsc);
        QTest::qWait(200);
        model.RefreshVideoList(categories->TopCateId(), QString(), true, 2, 10,
                               ApiCollection::CreationTimeAsc);

        QVERIFY(succeed.wait(15000));
        QTRY_COMPARE(aborted.count(), 1);
        QCOMPARE(failed.count(), 0);
        QCOMPARE(succeed.count(), 1);
        QCOMPARE(succeed.first().at(0).toULongLong(), qulonglong(2));
        QCOMPARE(model.rowCount(), 10);
        // Page 2 in creation order holds demo videos 11 to 20.
        QCOMPARE(model.item(0, 0)->data(kTitle).toString(), "Demo video 11"_s);
        const auto endOfFirst = [&ends, first] {
            for (const QList<QVariant>& end : qAsConst(ends)) {
                if (end.at(0).toUuid() == first) {
                    return end.at(1).value<TaskManager::TaskEndStatus>();
                }
            }
            return TaskManager::None;
        };
        QTRY_COMPARE_WITH_TIMEOUT(endOfFirst(), TaskManager::Abort, 10000);
        model.StopAllTasksAndWait();
        ModelsPlatform::SetFault(QString());
    }

    void firstPageAndPaging()
    {
        QCOMPARE(page->CurrentCateId(), categories->TopCateId());
        QVERIFY(Child(page, "videoTablePage")->isVisible());
        QCOMPARE(Child<QLabel>(page, "statusBar")->text(),
                 "Total %1 videos"_s.arg(videos->rowCount()));

        // All 40 videos, 20 to a page: the paginator's buttons load their pages (its button window:
        // tst_shell).
        ShowCategory("Library"_s, true);
        auto* paginator = Child<Paginator>(page, "paginator");
        QVERIFY(paginator->isVisible());
        QCOMPARE(paginator->Total(), 2ULL);
        const QStringList first = Column(videos, kVid);
        QCOMPARE(first.size(), 20);
        Child<QPushButton>(paginator, "secondBtn")->click();
        QVERIFY(LibraryPlatform::WaitForPage(page));
        QCOMPARE(page->Page(), 2);
        QCOMPARE(paginator->Current(), 2ULL);
        QVERIFY(!first.contains(Column(videos, kVid).value(0)));
        QVERIFY(!Child<QPushButton>(paginator, "nextBtn")->isEnabled());

        // A failed load leaves the bar on the page still shown.
        QVERIFY(ModelsPlatform::SetFault("path=/v3/video/list-video,code=1114,times=1"_s));
        QSignalSpy failed(videos, &VideoTableModel::SignalRefreshVideoListFailed);
        Child<QPushButton>(paginator, "firstBtn")->click();
        QVERIFY(failed.wait(20000));
        QCOMPARE(paginator->Current(), 2ULL);

        // A new page size starts again at page 1: the whole library on one page from here on.
        auto* sizes = Child<QComboBox>(paginator, "pageSizeComboBox");
        sizes->setCurrentIndex(1);
        QVERIFY(LibraryPlatform::WaitForPage(page));
        QCOMPARE(page->Page(), 1);
        QCOMPARE(page->PageSize(), 50);
        QCOMPARE(videos->rowCount(), 40);
        QCOMPARE(paginator->Total(), 1ULL);
        QCOMPARE(sizes->currentData().toInt(), 50);
    }

    // Rows whose video has a picture show it (cached under the data folder), the others keep the
    // default picture.
    void thumbnails()
    {
        const qint64 defaultKey = videos->Worker()->DefaultThumbnail().cacheKey();
        QMap<QString, QString> files;  // vid -> cached picture
        for (int row = 0; row < videos->rowCount(); ++row) {
            const QString vid = videos->index(row, 0).data(kVid).toString();
            const QUrl url = videos->index(row, 0).data(kThumbnailUrl).toUrl();
            QVERIFY(!Thumbnail(vid).isNull());
            QCOMPARE(Thumbnail(vid).cacheKey() == defaultKey, url.isEmpty());
            if (!url.isEmpty()) {
                files.insert(vid, DataDirPath("thumbs/%1/%2"_s.arg(accounts->UserId(), vid)) +
                                      QLatin1Char('/') + url.fileName());
                QVERIFY2(!QImage(files.value(vid)).isNull(), qPrintable(files.value(vid)));
            }
        }
        QVERIFY(files.size() > 1);
        auto shown = [this, defaultKey, &files] {
            int real = 0;
            for (const QString& vid : files.keys()) {
                real += Thumbnail(vid).cacheKey() != defaultKey ? 1 : 0;
            }
            return real;
        };
        auto* refresh = Child<QPushButton>(page, "refreshVideoTableButton");

        // The second time the pictures come from the cache: one replaced by a red picture stays, a
        // corrupt one is fetched again, no other is fetched.
        const QString red = files.firstKey();
        const QString corrupt = files.lastKey();
        QImage redImage(8, 8, QImage::Format_RGB32);
        redImage.fill(Qt::red);
        QVERIFY(redImage.save(files.value(red), "PNG"));
        {
            QFile file(files.value(corrupt));
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write("not an image");
        }
        QHash<QString, QDateTime> stamps;
        for (const QString& file : files) {
            stamps.insert(file, QFileInfo(file).lastModified());
        }
        QTest::qWait(1100);  // file times have one-second steps on some file systems
        refresh->click();
        QVERIFY(LibraryPlatform::WaitForPage(page));
        QCOMPARE(shown(), files.size());
        const QImage redShown = Thumbnail(red).toImage();
        QCOMPARE(redShown.pixelColor(redShown.width() / 2, redShown.height() / 2), QColor(Qt::red));
        QVERIFY(!QImage(files.value(corrupt)).isNull());
        for (const QString& file : files) {
            QCOMPARE(QFileInfo(file).lastModified() != stamps.value(file),
                     file == files.value(corrupt));
        }

        // Downloads that fail leave the default picture and nothing loading; a refresh brings them.
        QVERIFY(QDir(DataDirPath("thumbs"_s)).removeRecursively());
        QVERIFY(ModelsPlatform::SetFault("path=/files/,status=500"_s));
        refresh->click();
        QVERIFY(LibraryPlatform::WaitForPage(page));
        QCOMPARE(shown(), 0);
        QVERIFY(ModelsPlatform::SetFault(QString()));
        refresh->click();
        QVERIFY(LibraryPlatform::WaitForPage(page));
        QCOMPARE(shown(), files.size());
    }

    void search_data()
    {
        QTest::addColumn<bool>("allCategories");
        QTest::newRow("in the current category") << false;
        QTest::newRow("in all categories") << true;
    }

    void search()
    {
        QFETCH(bool, allCategories);
        ShowCategory("Courses"_s, false);
        auto* scope = Child<QComboBox>(page, "searchVideoCateTypeComboBox");
        scope->setCurrentIndex(allCategories ? 1 : 0);
        auto* field = Child<QLineEdit>(page, "searchVideoLineEdit");
        field->setText("Demo video 1"_s);
        QTest::keyClick(field, Qt::Key_Return);
        QVERIFY(LibraryPlatform::WaitForPage(page));

        const QStringList titles = Column(videos, kTitle);
        for (const QString& title : titles) {
            QVERIFY2(title.contains("Demo video 1"_s), qPrintable(title));
        }
        if (allCategories) {
            // "Demo video 10" .. "Demo video 19", wherever they are filed.
            QCOMPARE(titles.size(), 10);
            QVERIFY(page->ContainSubCate());
        } else {
            QVERIFY(titles.size() < 10);
            for (const QString& cateId : Column(videos, kVideoCate)) {
                QCOMPARE(cateId.toULongLong(), CateIdOf("Courses"_s));
            }
        }
        scope->setCurrentIndex(0);
        field->clear();  // an emptied field reloads the category
        QVERIFY(LibraryPlatform::WaitForPage(page));
        QVERIFY(videos->rowCount() >= titles.size());
    }

    void searchOutsideBmpRefused()
    {
        QSignalSpy loads(videos, &VideoTableModel::SignalRefreshVideoListAboutToDo);
        auto* field = Child<QLineEdit>(page, "searchVideoLineEdit");
        field->setText("clip \U0001F3AC"_s);
        QTest::keyClick(field, Qt::Key_Return);
        QTest::qWait(300);
        QCOMPARE(loads.size(), 0);
        QVERIFY(Toasts(page).contains("VideoListWidget.RefreshVideoListMySQLIncompatible"_s));
        const QSignalBlocker blocker(field);
        field->clear();
    }

    void sortByHeader()
    {
        ShowCategory("Library"_s, true);
        CheckableHeaderView* header = page->Table()->Header();
        auto firstAfterClick = [this, header](int section) {
            QTest::mouseClick(
                header->viewport(), Qt::LeftButton, Qt::NoModifier,
                QPoint(header->sectionViewportPosition(section) + 6, header->height() / 2));
            return LibraryPlatform::WaitForPage(page) ? Column(videos, kTitle).value(0) : QString();
        };
        QCOMPARE(firstAfterClick(2), "Demo video 40"_s);
        QCOMPARE(firstAfterClick(2), "Demo video 01"_s);
        QCOMPARE(firstAfterClick(5), "Demo video 01"_s);  // back to the time column: oldest first
        QCOMPARE(firstAfterClick(5), "Demo video 40"_s);
        QCOMPARE(header->CurrentSortMethod(), int(ApiCollection::CreationTimeDesc));
    }

    void moveVideo()
    {
        ShowCategory("Courses"_s, false);
        QVERIFY(videos->rowCount() > 0);
        const QString vid = videos->index(0, 0).data(kVid).toString();
        const qulonglong archive = CateIdOf("Archive"_s);
        page->Table()->selectRow(0);

        QSignalSpy moved(videos, &VideoTableModel::SignalMoveVideoSucceed);
        QSignalSpy reloads(videos, &VideoTableModel::SignalRefreshVideoListSucceed);
        OnNextModal<SelectCategoryDialog>([archive](SelectCategoryDialog* dialog) {
            QCOMPARE(dialog->CurrentMode(), SelectCategoryDialog::MoveVideo);
            Child<QPushButton>(dialog, "okButton")->click();  // nothing chosen yet
            QVERIFY(Toasts(dialog).contains("SelectCategoryDialog.NoSelected"_s));
            QVERIFY(dialog->SelectCategory(archive));
            Child<QPushButton>(dialog, "okButton")->click();
        });
        Child<QPushButton>(page, "moveMultiVideoButton")->click();
        QVERIFY(moved.size() == 1 || moved.wait(20000));
        QCOMPARE(moved.first().at(0).toStringList(), QStringList{vid});
        QCOMPARE(moved.first().at(1).toULongLong(), archive);
        QVERIFY(Toasts(page).contains("VideoListWidget.MoveVideoSucceed"_s));
        QVERIFY(reloads.wait(20000));
        QVERIFY(LibraryPlatform::WaitForPage(page));
        QVERIFY(!Column(videos, kVid).contains(vid));
    }

    // A video another client is still uploading is refused without a request and one the
    // platform refuses stays, each listed by the prompt; the others go.
    void deleteVideos()
    {
        ShowCategory("Library"_s, true);
        const QStringList vids = Column(videos, kVid);
        const QStringList uploading = videos->UploadingVids(vids);
        QVERIFY(!uploading.isEmpty());
        QStringList released;
        for (int row = 0; row < videos->rowCount() && released.size() < 2; ++row) {
            if (videos->index(row, 0).data(int(VideoTableModel::DataRole::Status)).toInt() == 60) {
                released.append(vids.at(row));
            }
        }
        QCOMPARE(released.size(), 2);
        const auto remove = [this](const QStringList& chosen) {
            for (const QString& vid : chosen) {
                page->Table()->selectRow(Column(videos, kVid).indexOf(vid));
            }
            Child<QPushButton>(page, "deleteMultiVideoButton")->click();
        };
        // The one refusal the prompt lists, "" when it does not show exactly one.
        const auto refusal = [this]() {
            auto* prompt = page->findChild<DeleteVideoFailedPromptDialog*>();
            const QString line =
                prompt && prompt->Count() == 1 ? prompt->Lines().value(0) : QString();
            const QString summary = prompt ? prompt->Summary() : QString();
            delete prompt;
            return summary == "Delete <span style='color: #FF4646'>1</span> videos Failed"_s
                       ? line
                       : QString();
        };
        QSignalSpy failed(videos, &VideoTableModel::SignalDeleteVideosFailed);
        QString confirmText;
        OnNextModal<MsgBox>([&confirmText](MsgBox* box) {
            confirmText = Child<QLabel>(box, "msgLabel")->text();
            QPushButton* ok =
                Child<QDialogButtonBox>(box, "buttonBox")->button(QDialogButtonBox::Ok);
            QCOMPARE(ok->text(), "Delete"_s);
            ok->click();
        });
        remove({uploading.first(), released.at(1)});
        QVERIFY(confirmText.startsWith("VideoListWidget.DeleteVideoConfirmMessage"_s));
        QVERIFY(failed.wait(20000));
        QString line = refusal();
        QVERIFY2(line.contains(uploading.first()), qPrintable(line));
        QVERIFY2(line.contains("DeleteUploadingVideoFromOtherClient"_s), qPrintable(line));
        QVERIFY(LibraryPlatform::WaitForPage(page));
        QVERIFY(Column(videos, kVid).contains(uploading.first()));
        QVERIFY(!Column(videos, kVid).contains(released.at(1)));

        QVERIFY(ModelsPlatform::SetFault("path=/v3/video/delete-video,code=%1,times=1"_s.arg(
            int(ApiCollection::VIDEO_NOT_EXIST))));
        AnswerNextBox(QDialogButtonBox::Ok);
        remove({released.at(0)});
        QVERIFY(failed.wait(20000));
        line = refusal();
        QVERIFY2(line.contains(released.at(0)), qPrintable(line));
        QVERIFY2(
            line.contains(
                ApiCollection::errorCodeString(ApiCollection::VIDEO_NOT_EXIST).toHtmlEscaped()),
            qPrintable(line));
        QVERIFY(LibraryPlatform::WaitForPage(page));
        QVERIFY(Column(videos, kVid).contains(released.at(0)));

        const int before = videos->rowCount();
        QSignalSpy deleted(videos, &VideoTableModel::SignalDeleteVideosSucceed);
        AnswerNextBox(QDialogButtonBox::Ok);
        remove({released.at(0)});
        QVERIFY(deleted.wait(20000));
        QVERIFY(Toasts(page).contains("VideoListWidget.DeleteVideoSucceed"_s));
        QVERIFY(LibraryPlatform::WaitForPage(page));
        QCOMPARE(videos->rowCount(), before - 1);
        QVERIFY(!Column(videos, kVid).contains(released.at(0)));
    }

    // The prompt fits any number of refusals between its least and greatest size, listing
    // each; two or more once made its show handler grow the scroll area without end.
    void failurePromptFits_data()
    {
        QTest::addColumn<int>("failures");
        QTest::newRow("one") << 1;
        QTest::newRow("more than fit") << 30;
    }

    void failurePromptFits()
    {
        QFETCH(int, failures);
        DeleteVideoFailedPromptDialog prompt(page);
        for (int i = 0; i < failures; ++i) {
            prompt.AddFailure(
                "%1_a"_s.arg(i, 32, 10, QLatin1Char('0')),
                "refused, with a reason long enough to wrap onto a second line "_s.repeated(i % 3 +
                                                                                            1));
        }
        prompt.show();
        QVERIFY(QTest::qWaitForWindowExposed(&prompt));
        QCOMPARE(prompt.Lines().size(), failures);
        QVERIFY(prompt.Summary().contains(">%1<"_s.arg(failures)));
        QVERIFY2(prompt.width() >= 400 && prompt.width() <= 560,
                 qPrintable(QString::number(prompt.width())));
        QVERIFY(prompt.height() >= 240 && prompt.height() <= 500);
    }

    void addCategory()
    {
        const qulonglong mathematics = CateIdOf("Mathematics"_s);
        QSignalSpy requests(categories, &CategoryTreeModel::SignalTaskEndStatus);
        QSignalSpy added(categories, &CategoryTreeModel::SignalAddCategorySucceed);
        OnNextModal<AddCategoryDialog>([&](AddCategoryDialog* dialog) {
            QCOMPARE(dialog->ParentCateId(), mathematics);
            auto* input = Child<QLineEdit>(dialog, "inputEditor");
            auto* ok = Child<QPushButton>(dialog, "okButton");
            const QStringList refusals[] = {
                {QString(), "AddCategoryDialog.EmptyCateName"_s},
                {"Notes \U0001F4DD"_s, "AddCategoryDialog.CateNameMySQLIncompatible"_s},
                {"Algebra"_s, "AddCategoryDialog.CateNameDuplicated"_s},
            };
            for (const QStringList& refusal : refusals) {
                input->setText(refusal.at(0));
                ok->click();
                QVERIFY(Toasts(dialog).contains(refusal.at(1)));
                QVERIFY(ok->isEnabled());
            }
            input->clear();
            QTest::keyClicks(input, QString(41, QLatin1Char('x')));
            QCOMPARE(input->text().size(), 40);
            QCOMPARE(Child<QLabel>(dialog, "countLabel")->text(), "40/40"_s);
            input->setText("algebra"_s);  // differs only in case: allowed
            ok->click();
            QVERIFY(!ok->isEnabled());
            dialog->close();  // refused while the request runs
            QVERIFY(dialog->isVisible());
            QVERIFY(Toasts(dialog).contains("AddCategoryDialog.IsAddingCategory"_s));
        });
        QMenu* menu = page->Tree()->CreateItemMenu(ProxyIndexOf(mathematics));
        QAction* add = menu->findChild<QAction*>("addSubCategoryAction"_s);
        QVERIFY(add && add->isEnabled());
        add->trigger();
        delete menu;
        QCOMPARE(added.size(), 1);
        QCOMPARE(requests.size(), 1);  // the refusals sent nothing
        const qulonglong newId = added.first().at(0).toULongLong();
        QCOMPARE(categories->ParentCateId(newId), mathematics);
        QCOMPARE(PathOf(newId), PathOf(mathematics) + QLatin1Char(',') + QString::number(newId));
        QVERIFY(categories->NamesModel()->stringList().contains("algebra"_s));
        QCOMPARE(page->CurrentCateId(), newId);
        QVERIFY(Toasts(page).contains("VideoListWidget.AddCategorySucceed"_s));
        QVERIFY(LibraryPlatform::WaitForPage(page));
    }

    void renameCategory()
    {
        const qulonglong id = CateIdOf("algebra"_s);
        QVERIFY(id != 0);
        const QModelIndex index = ProxyIndexOf(id);
        auto* tree = page->Tree();
        auto rename = [tree, index](const QString& name) {
            QLineEdit editor;
            editor.setText(name);
            tree->itemDelegate()->setModelData(&editor, tree->model(), index);
        };
        QSignalSpy renamed(categories, &CategoryTreeModel::SignalRenameCategorySucceed);
        QSignalSpy failed(categories, &CategoryTreeModel::SignalRenameCategoryFailed);
        rename("algebra"_s);  // unchanged: nothing happens
        // Refused before any request.
        rename(QString());
        rename("Fun \U0001F600"_s);
        QCOMPARE(failed.size(), 2);
        QVERIFY(!categories->IsOperating());
        QVERIFY(Toasts(page).contains("VideoListWidget.RenameCategoryFailed:"_s +
                                      "CategoryTreeModel.RenameCateNameEmpty"_s));
        QCOMPARE(failed.last().at(0).toString(),
                 "CategoryTreeModel.RenameCateNameMySQLIncompatible"_s);
        rename("Algebra"_s);  // a sibling's name: the platform refuses
        QVERIFY(failed.wait(20000));
        QCOMPARE(failed.last().at(0).toString(),
                 ApiCollection::errorCodeString(ApiCollection::CATANAME_ALREADY_EXIST));
        // Characters a form body escapes, and some outside ASCII.
        rename("Algebra II + 改名 & 100%="_s);
        QVERIFY(renamed.wait(20000));
        QCOMPARE(categories->CateName(id), "Algebra II + 改名 & 100%="_s);
        QVERIFY(categories->NamesModel()->stringList().contains("Algebra II + 改名 & 100%="_s));
        QVERIFY(Toasts(page).contains("VideoListWidget.RenameCategorySucceed"_s));

        // The top category is neither renamed nor moved.
        QMenu* menu = tree->CreateItemMenu(page->TreeProxy()->index(0, 0));
        QVERIFY(!menu->findChild<QAction*>("renameCategoryAction"_s)->isEnabled());
        QVERIFY(!menu->findChild<QAction*>("moveCategoryAction"_s)->isEnabled());
        delete menu;
    }

    // Mathematics, with its subtree, moves into Archive; Archive into Mathematics is then refused.
    // The tree the platform sends afterwards agrees with the one the model built.
    void moveCategory()
    {
        const qulonglong id = CateIdOf("Mathematics"_s);
        const qulonglong child = CateIdOf("Algebra II + 改名 & 100%="_s);
        const qulonglong parent = categories->ParentCateId(id);
        const qulonglong archive = CateIdOf("Archive"_s);
        QSignalSpy moved(categories, &CategoryTreeModel::SignalMoveCategorySucceed);
        QSignalSpy failed(categories, &CategoryTreeModel::SignalMoveCategoryFailed);

        OnNextModal<SelectCategoryDialog>([&](SelectCategoryDialog* dialog) {
            auto* ok = Child<QPushButton>(dialog, "okButton");
            QVERIFY(dialog->SelectCategory(parent));
            ok->click();
            QVERIFY(Toasts(dialog).contains("SelectCategoryDialog.MoveCategoryToSrcCategory"_s));
            QVERIFY(dialog->SelectCategory(id));
            ok->click();
            QVERIFY(Toasts(dialog).contains("SelectCategoryDialog.MoveCategoryToSelfCategory"_s));
            QCOMPARE(failed.size() + moved.size(), 0);  // refused before any request
            QVERIFY(dialog->SelectCategory(archive));
            ok->click();
            QVERIFY(!ok->isEnabled());
            QTest::keyClick(dialog, Qt::Key_Escape);  // refused while the request runs
            QVERIFY(dialog->isVisible());
            QVERIFY(Toasts(dialog).contains("SelectCategoryDialog.IsMovingCategory"_s));
        });
        page->Tree()->SlotMoveCategory(ProxyIndexOf(id));
        QCOMPARE(moved.size(), 1);
        QCOMPARE(categories->ParentCateId(id), archive);
        const QModelIndex movedIndex = categories->IndexOfCateId(id);
        QCOMPARE(movedIndex.row(), categories->rowCount(movedIndex.parent()) - 1);
        QCOMPARE(PathOf(id), PathOf(archive) + QLatin1Char(',') + QString::number(id));
        QCOMPARE(PathOf(child), PathOf(id) + QLatin1Char(',') + QString::number(child));
        QCOMPARE(page->CurrentCateId(), id);  // the moved category is selected
        QVERIFY(Toasts(page).contains("VideoListWidget.MoveCategorySucceed"_s));
        QVERIFY(LibraryPlatform::WaitForPage(page));

        // Into its own subtree: the platform refuses and the dialog stays open, usable again. The
        // dialog is closed in every case, so that a failed check cannot leave the modal loop open.
        bool usableAgain = false;
        bool stayedOpen = false;
        QStringList toasts;
        OnNextModal<SelectCategoryDialog>([&](SelectCategoryDialog* dialog) {
            auto* ok = Child<QPushButton>(dialog, "okButton");
            if (dialog->SelectCategory(id)) {
                ok->click();
                usableAgain = QTest::qWaitFor([ok] { return ok->isEnabled(); }, 20000);
                stayedOpen = dialog->isVisible();
                toasts = Toasts(dialog);
            }
            Child<QPushButton>(dialog, "cancelButton")->click();
        });
        page->Tree()->SlotMoveCategory(ProxyIndexOf(archive));
        QCOMPARE(failed.size(), 1);
        QVERIFY(usableAgain);
        QVERIFY(stayedOpen);
        QVERIFY(toasts.contains(
            "SelectCategoryDialog.MoveCategoryFailed:"_s +
            ApiCollection::errorCodeString(ApiCollection::CATEGORY_MODIFY_LIMITED)));
        QCOMPARE(categories->ParentCateId(id), archive);

        const QStringList paths{PathOf(id), PathOf(child)};
        QSignalSpy tree(categories, &CategoryTreeModel::SignalRefreshCategorySucceed);
        page->RefreshCategory();
        QVERIFY(tree.wait(20000));
        QCOMPARE((QStringList{PathOf(id), PathOf(child)}), paths);
        QCOMPARE(categories->CateName(child), "Algebra II + 改名 & 100%="_s);
        QVERIFY(LibraryPlatform::WaitForPage(page));
    }

    void uploadTasksWhileHidden()
    {
        QSignalSpy loads(videos, &VideoTableModel::SignalRefreshVideoListAboutToDo);
        window->setCurrentWidget(otherPage);
        page->SlotUploadTaskAppended();
        page->SlotUploadTaskAppended();
        page->SlotUploadTaskRemoved();
        QTest::qWait(200);
        QCOMPARE(loads.size(), 0);
        QVERIFY(page->RefreshPendingOnShow());
        window->setCurrentWidget(page);
        QVERIFY(LibraryPlatform::WaitForPage(page));
        QCOMPARE(loads.size(), 1);
        QVERIFY(!page->RefreshPendingOnShow());
        window->setCurrentWidget(otherPage);
        window->setCurrentWidget(page);
        QTest::qWait(200);
        QCOMPARE(loads.size(), 1);  // nothing pending any more

        page->SlotUploadTaskAppended();  // shown: at once
        QTRY_COMPARE(loads.size(), 2);
        QVERIFY(LibraryPlatform::WaitForPage(page));
    }

    void csvExport()
    {
        ShowCategory("Languages"_s, true);
        const QString tricky = "Lecture, part \"one\""_s;
        const QString vid = videos->index(0, 0).data(kVid).toString();
        QSignalSpy updated(videos, &VideoTableModel::SignalUpdateVideoInfoSucceed);
        videos->UpdateVideoInfo(vid, tricky, "a,b"_s, "line one\nline two"_s);
        QVERIFY(updated.wait(20000));
        QVERIFY(LibraryPlatform::WaitForPage(page));
        for (int row = 0; row < 3; ++row) {
            page->Table()->selectRow(row);
        }
        const QString path = dir.filePath("export.csv"_s);
        QVERIFY(page->ExportCsvTo(path));

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        QVERIFY(bytes.endsWith('\n'));
        QVERIFY(!bytes.contains('\r'));
        const QString text = QString::fromUtf8(bytes.mid(3));
        QVERIFY(
            text.startsWith("vid,title,description,duration,thumbnailURL,coverURL,creationTime,"
                            "updateTime,size,status,"
                            "cateId,cateName,tags,uploader,playTimes,md5Checksum\n"_s));
        // The quoted fields, byte for byte.
        QVERIFY(text.contains(vid + ",\"Lecture, part \"\"one\"\"\",\"line one\nline two\","_s));

        // Read back as a spreadsheet would: four records of sixteen fields.
        const QList<QStringList> records = ParseCsv(text);
        QCOMPARE(records.size(), 4);
        for (const QStringList& record : records) {
            QCOMPARE(record.size(), 16);
        }
        const QStringList fields = records.at(1);
        QCOMPARE(fields.at(0), vid);
        QCOMPARE(fields.at(1), tricky);
        QCOMPARE(fields.at(2), "line one\nline two"_s);
        QCOMPARE(fields.at(12), "a,b"_s);
        // Plain fields are written as they are: numbers in decimal, URLs in full.
        QCOMPARE(
            fields.at(8),
            QString::number(
                videos->index(0, 0).data(int(VideoTableModel::DataRole::FileSize)).toULongLong()));
        QCOMPARE(fields.at(10),
                 QString::number(videos->index(0, 0).data(kVideoCate).toULongLong()));
        QVERIFY(fields.at(4).startsWith("https://"_s) || fields.at(4).isEmpty());
    }

    // From here on the client's Chinese texts, and the edit dialog over the page's model as the
    // main window opens it.
    void editedTextsReachTheLibrary()
    {
        QVERIFY(InstallChinese());
        ShowCategory("Library"_s, true);
        for (int row = 0; row < videos->rowCount(); ++row) {
            if (!videos->index(row, 0).data(kThumbnailUrl).toUrl().isEmpty()) {
                released.append(videos->index(row, 0).data(kVid).toString());
            }
        }
        QVERIFY(released.size() >= 12);
        const QString vid = released.at(0);
        VideoEditDialog dialog(*videos);
        QVERIFY(Open(dialog, vid));
        QCOMPARE(Child<QLabel>(&dialog, "vidLabel")->text(), vid);

        Retype(Child(&dialog, "titleLineEdit"), "第一讲 改过的标题"_s);
        Retype(Child(&dialog, "descPlainTextEdit"), "新的描述\n第二行"_s);
        Retype(Child(&dialog, "tagsLineEdit"), "数学,复习"_s);
        QSignalSpy finished(&dialog, &QDialog::finished);
        auto* ok = Child<QPushButton>(&dialog, "okButton");
        QTest::mouseClick(ok, Qt::LeftButton);
        QVERIFY(!ok->isEnabled());
        // Escape while the update runs is refused.
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QCOMPARE(LastTip(&dialog), "正在保存视频信息，请稍后再关闭"_s);
        QVERIFY(dialog.isVisible());
        QVERIFY(finished.wait(20000));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));

        // The page shows the new texts.
        QVERIFY(LibraryPlatform::WaitForPage(page));
        const QModelIndexList rows =
            videos->match(videos->index(0, 0), kVid, vid, 1, Qt::MatchExactly);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.first().data(int(VideoTableModel::DataRole::Title)).toString(),
                 "第一讲 改过的标题"_s);
        QCOMPARE(rows.first().data(int(VideoTableModel::DataRole::Description)).toString(),
                 "新的描述\n第二行"_s);
        QCOMPARE(rows.first().data(int(VideoTableModel::DataRole::Tags)).toString(), "数学,复习"_s);
    }

    void unchangedSendsNothing()
    {
        const QString vid = released.at(1);
        VideoEditDialog dialog(*videos);
        QVERIFY(Open(dialog, vid));
        QSignalSpy finished(&dialog, &QDialog::finished);
        // An edit taken back again is no change.
        auto* title = Child<QLineEdit>(&dialog, "titleLineEdit");
        QTest::keyClicks(title, "x"_s);
        QTest::keyClick(title, Qt::Key_Backspace);
        QTest::mouseClick(Child(&dialog, "okButton"), Qt::LeftButton);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(videos->Worker()
                    ->TasksOfType(int(VideoTableModel::TaskType::UpdateVideoInfo))
                    .isEmpty());
    }

    void uploadRowLimitsAndValidation()
    {
        VideoEditDialog dialog;  // a file about to be uploaded: no service at all
        dialog.SetTitle("lesson-01"_s);
        dialog.SetFileSize(1536);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(Child(&dialog, "vidLabel")->isHidden());
        QVERIFY(Child(&dialog, "uploadTimeLabel")->isHidden());
        QVERIFY(!Child(&dialog, "fileSizeLabel")->isHidden());
        QCOMPARE(Child<QLabel>(&dialog, "fileSizeLabel")->text(), "1.50 KB"_s);
        QVERIFY(!Child(&dialog, "basicInfoButton")->isVisible());

        auto* title = Child<QLineEdit>(&dialog, "titleLineEdit");
        Retype(title, QString(201, QLatin1Char('t')));
        QCOMPARE(title->text().size(), 200);
        QCOMPARE(Child<QLabel>(&dialog, "titleCountLabel")->text(), "200/200"_s);
        auto* desc = Child<QPlainTextEdit>(&dialog, "descPlainTextEdit");
        desc->setPlainText(QString(999, QLatin1Char('d')));
        desc->moveCursor(QTextCursor::End);
        QTest::keyClicks(desc, "xyz"_s);
        QCOMPARE(desc->toPlainText().size(), 1000);
        QCOMPARE(Child<QLabel>(&dialog, "descCountLabel")->text(), "1000/1000"_s);

        auto* ok = Child(&dialog, "okButton");
        Retype(title, QString());
        QTest::mouseClick(ok, Qt::LeftButton);
        QCOMPARE(LastTip(&dialog), "标题不能为空"_s);
        // A character outside the Basic Multilingual Plane is refused and marked.
        Retype(title, "lesson "_s + QString::fromUcs4(U"\U0001F600"));
        QTest::mouseClick(ok, Qt::LeftButton);
        QCOMPARE(LastTip(&dialog), "输入内容含有不支持的字符，请修改后重试"_s);
        QCOMPARE(title->property("status").toString(), "error"_s);
        QVERIFY(dialog.isVisible());

        Retype(title, "第一讲"_s);
        Retype(Child(&dialog, "tagsLineEdit"), "a,b"_s);
        QTest::mouseClick(ok, Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.Title(), "第一讲"_s);
        QCOMPARE(dialog.Tags(), "a,b"_s);
    }

    void coverFromSnapshot()
    {
        const QString vid = released.at(2);
        const QString cache = DataDirPath("thumbs/%1/%2"_s.arg(accounts->UserId(), vid));
        {
            VideoEditDialog dialog(*videos);
            QVERIFY(Open(dialog, vid));
            QTest::mouseClick(Child(&dialog, "coverInfoButton"), Qt::LeftButton);
            for (int i = 1; i <= 6; ++i) {
                const QByteArray name = "thumbs" + QByteArray::number(i) + "Label";
                QVERIFY2(Child(&dialog, name.constData())->property("valid").toBool(),
                         name.constData());
                QVERIFY(QFileInfo::exists(cache + "/snapbig_%1.png"_s.arg(i - 1)));
            }
            auto* third = Child<QLabel>(&dialog, "thumbs3Label");
            QVERIFY(!third->property("selected").toBool());
            QTest::mouseClick(third, Qt::LeftButton);
            QVERIFY(dialog.IsBusy());
            QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsBusy(), 20000);
            QCOMPARE(LastTip(&dialog), "封面更换成功"_s);
            QVERIFY(third->property("selected").toBool());
            QCOMPARE(Info(vid).coverURL.fileName(), "snapbig_2.png"_s);
        }
        // Opened again, the dialog marks the chosen snapshot as the current cover.
        VideoEditDialog dialog(*videos);
        QVERIFY(Open(dialog, vid));
        QVERIFY(Child(&dialog, "thumbs3Label")->property("selected").toBool());
        QVERIFY(!Child(&dialog, "thumbs1Label")->property("selected").toBool());
        QVERIFY(Child(&dialog, "coverSelectedLabel")->property("valid").toBool());
    }

    void ownCover_data()
    {
        QTest::addColumn<QSize>("pixels");
        QTest::addColumn<qint64>("padTo");
        QTest::addColumn<QString>("tip");
        QTest::newRow("6 MiB") << QSize(640, 360) << qint64(6) * 1024 * 1024
                               << "封面图片不能超过 5 MB"_s;
        QTest::newRow("2000x1200")
            << QSize(2000, 1200) << qint64(0) << "封面图片分辨率不能超过 1920×1080"_s;
        QTest::newRow("fits") << QSize(800, 450) << qint64(0) << "封面上传成功"_s;
    }

    void ownCover()
    {
        QFETCH(QSize, pixels);
        QFETCH(qint64, padTo);
        QFETCH(QString, tip);
        const QString path =
            dir.filePath("封面 %1.png"_s.arg(QLatin1String(QTest::currentDataTag())));
        QImage image(pixels, QImage::Format_RGB32);
        image.fill(QColor("#3a6ea5"_s));
        QVERIFY(image.save(path));
        if (padTo > 0) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite) && file.resize(padTo));
        }
        const QString vid = released.at(3);
        VideoEditDialog dialog(*videos);
        QVERIFY(Open(dialog, vid));
        dialog.UploadCover(path);
        const bool accepted = padTo == 0 && pixels.width() <= 1920;
        QCOMPARE(dialog.IsBusy(), accepted);
        if (!accepted) {
            QCOMPARE(LastTip(&dialog), tip);
            QVERIFY(videos->Worker()
                        ->TasksOfType(int(VideoTableModel::TaskType::UploadVideoCover))
                        .isEmpty());
            QVERIFY(Child<QPushButton>(&dialog, "uploadCoverButton")->isEnabled());
            return;
        }
        QVERIFY(!Child<QPushButton>(&dialog, "uploadCoverButton")->isEnabled());
        dialog.reject();
        QCOMPARE(LastTip(&dialog), "正在上传封面，请稍后再关闭"_s);
        QVERIFY(dialog.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsBusy(), 20000);
        QCOMPARE(LastTip(&dialog), tip);
        const QUrl cover = Info(vid).coverURL;
        QVERIFY2(cover.path().contains("/covers/"_s), qPrintable(cover.toString()));
        // The new cover is fetched into the cache and shown as the current one.
        const QString cached = DataDirPath("thumbs/%1/%2"_s.arg(accounts->UserId(), vid)) +
                               QLatin1Char('/') + cover.fileName();
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(cached), 20000);
        QCOMPARE(QImage(cached).size(), pixels);
        QVERIFY(Child<QPushButton>(&dialog, "uploadCoverButton")->isEnabled());
        dialog.reject();
        QVERIFY(!dialog.isVisible());
    }

    void refusalsKeepTheDialogUsable_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("tip");
        // fault: the request's path under /v3/video/ and what the platform does, once
        const auto row = [](const char* tag, const char* fault, const char* action,
                            const char* tip) {
            QTest::newRow(tag) << "path=/v3/video/%1,times=1"_s.arg(QLatin1String(fault)) << action
                               << tip;
        };
        row("update refused", "update-info,code=4000", "ok", "视频信息保存失败：");
        row("update slow", "update-info,delay=2600", "ok", "网络较慢，正在处理，请稍候……");
        row("cover change refused", "change-cover-image,code=3100", "snapshot", "封面更换失败：");
        row("cover upload refused", "upload-cover-image,status=503", "upload", "封面上传失败：");
    }

    void refusalsKeepTheDialogUsable()
    {
        QFETCH(QString, fault);
        QFETCH(QString, action);
        QFETCH(QString, tip);
        const QString vid = released.at(5);
        VideoEditDialog dialog(*videos);
        QVERIFY(Open(dialog, vid));
        QTest::mouseClick(Child(&dialog, "coverInfoButton"), Qt::LeftButton);
        QVERIFY(ModelsPlatform::SetFault(fault));
        auto* stack = Child<QStackedWidget>(&dialog, "stackedWidget");
        if (action == QLatin1String("ok")) {
            Child<QLineEdit>(&dialog, "titleLineEdit")->setText("Renamed"_s);
            QTest::mouseClick(Child(&dialog, "okButton"), Qt::LeftButton);
        } else if (action == QLatin1String("snapshot")) {
            QTest::mouseClick(Child(&dialog, "thumbs5Label"), Qt::LeftButton);
        } else {
            const QString path = dir.filePath("refused.png"_s);
            QImage image(320, 180, QImage::Format_RGB32);
            image.fill(Qt::gray);
            QVERIFY(image.save(path));
            dialog.UploadCover(path);
        }
        QVERIFY(dialog.IsBusy());
        QTRY_VERIFY_WITH_TIMEOUT(LastTip(&dialog).startsWith(tip), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsBusy(), 20000);
        ModelsPlatform::SetFault(QString());
        QVERIFY(dialog.isVisible() || action == QLatin1String("ok"));
        if (action == QLatin1String("ok") && tip.startsWith("视频信息"_s)) {
            QVERIFY(dialog.isVisible());
            QCOMPARE(stack->currentIndex(), 0);
            QVERIFY(Child(&dialog, "okButton")->isEnabled());
            QVERIFY(Child(&dialog, "cancelButton")->isEnabled());
        } else if (action == QLatin1String("snapshot")) {
            QVERIFY(!Child(&dialog, "thumbs5Label")->property("selected").toBool());
        } else if (action == QLatin1String("upload")) {
            QVERIFY(Child<QPushButton>(&dialog, "uploadCoverButton")->isEnabled());
        }
    }

    // A query needs a vid; the page shows what a batch search found.
    void batchSearchFindsSome()
    {
        QStringList pasted = released.mid(4, 8);
        pasted.insert(3, "not-a-vid"_s);
        pasted.append(released.at(4).left(33));
        BatchSearch search;
        VideoBatchSearchDialog& dialog = search.dialog;
        VidTextBrowser* browser = search.browser;
        QTest::mouseClick(Child(&dialog, "queryButton"), Qt::LeftButton);
        QCOMPARE(LastTip(&dialog), "请先输入要查询的视频 ID"_s);
        QVERIFY(dialog.isVisible());
        QApplication::clipboard()->setText(pasted.join("\n"_s));
        browser->paste();
        QCOMPARE(LastTip(browser), "已添加 8 个视频 ID，2 个格式不正确"_s);
        // A well-formed vid the library does not have, typed but not yet committed: the query
        // commits it first.
        const QString unknown = "00000000000000000000000000000000_9"_s;
        QTest::keyClicks(browser, unknown);
        QTest::mouseClick(Child(&dialog, "queryButton"), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.Vids().size(), 9);

        QSignalSpy done(videos, &VideoTableModel::SignalGetVideoListDone);
        page->SlotShowBatchSearchResult(dialog.Vids());
        QVERIFY(done.wait(20000));
        QCOMPARE(done.first().first().toInt(), 8);
        QVERIFY(page->InSearchResultMode());
        QCOMPARE(Column(videos, kVid), released.mid(4, 8));
    }

    void typeAndReturn_data()
    {
        QTest::addColumn<int>("listed");  // Vid(0) onwards, before typing
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("tip");
        QTest::addColumn<QString>("left");  // what stays typed
        QTest::newRow("valid") << 1 << Vid(1) << 2 << QString() << QString();
        QTest::newRow("33 characters")
            << 1 << Vid(1).left(33) << 1 << "请输入正确的视频 ID"_s << Vid(1).left(33);
        QTest::newRow("listed") << 1 << Vid(0) << 1 << "该视频 ID 已在列表中"_s << QString();
        QTest::newRow("101st") << 100 << Vid(100) << 100 << "最多只能输入 100 个视频 ID"_s
                               << QString();
    }

    void typeAndReturn()
    {
        BatchSearch search;
        VidTextBrowser* browser = search.browser;
        QFETCH(int, listed);
        QFETCH(QString, typed);
        for (int i = 0; i < listed; ++i) {
            QVERIFY(browser->AddVid(Vid(i)));
        }
        auto* count = search.dialog.findChild<QLabel*>("countLabel"_s);
        QTest::keyClicks(browser, typed);
        QTest::keyClick(browser, Qt::Key_Return);
        QTEST(browser->Count(), "count");
        QTEST(LastTip(browser), "tip");
        // What stays typed follows the last chip.
        QTEST(browser->toPlainText().section(QChar::ObjectReplacementCharacter, -1).trimmed(),
              "left");
        QCOMPARE(count->text(), "已输入 %1 个视频 ID，还可输入 %2 个"_s.arg(browser->Count())
                                    .arg(100 - browser->Count()));
        // Every listed vid stands as a chip (an image) in the document.
        QCOMPARE(browser->toPlainText().count(QChar::ObjectReplacementCharacter), browser->Count());
    }

    // Backspace and a chip's delete icon remove chips; a removal makes room under the cap.
    void backspaceAndDeleteIconRemoveChips()
    {
        BatchSearch search;
        VidTextBrowser* browser = search.browser;
        for (int i = 1; i <= 3; ++i) {
            QVERIFY(browser->AddVid(Vid(i)));
        }
        QTest::keyClick(browser, Qt::Key_Backspace);
        QCOMPARE(browser->Vids(), (QStringList{Vid(1), Vid(2)}));
        QVERIFY(!browser->toPlainText().contains(Vid(3)));

        // A click on the first chip's delete icon.
        const int icon = browser->toPlainText().indexOf(QChar::ObjectReplacementCharacter);
        QTextCursor at(browser->document());
        at.setPosition(icon);
        const QRect before = browser->cursorRect(at);
        QTest::mouseClick(browser->viewport(), Qt::LeftButton, Qt::NoModifier,
                          before.center() + QPoint(7, 0));
        QCOMPARE(browser->Vids(), QStringList{Vid(2)});
        QVERIFY(!browser->toPlainText().contains(Vid(1)));
        QVERIFY(browser->toPlainText().contains(Vid(2)));

        for (int i = 3; i <= 101; ++i) {
            QVERIFY(browser->AddVid(Vid(i)));
        }
        QVERIFY(!browser->AddVid(Vid(102)));
        QTest::keyClick(browser, Qt::Key_Backspace);
        QVERIFY(browser->AddVid(Vid(102)));  // room again, at the end
        QCOMPARE(browser->Vids().mid(98), (QStringList{Vid(100), Vid(102)}));
    }

    void dropAcceptsOnlyCsvAndTxt()
    {
        BatchSearch search;
        VidTextBrowser* browser = search.browser;
        const QString txt = dir.filePath("list.TXT"_s);
        const QString movie = dir.filePath("movie.mp4"_s);
        for (const QString& path : {txt, movie}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(Vid(5).toUtf8() + "\nnope\n");
        }
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(txt), QUrl::fromLocalFile(movie)});
        const QPoint inside = search.dialog.rect().center();
        QDragEnterEvent enter(inside, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&search.dialog, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(inside, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&search.dialog, &drop);
        QCOMPARE(LastTip(&search.dialog), "只支持拖入 csv 或 txt 文件"_s);
        // The text file is imported and reported.
        QCOMPARE(browser->Vids(), QStringList{Vid(5)});
        QCOMPARE(LastTip(browser), "已添加 1 个视频 ID，1 个格式不正确"_s);
    }

    // Last: the viewer's sign-in hands its own credentials to the web API client.
    void viewerPermissions()
    {
        AccountManager viewer;
        CategoryTreeModel viewerCategories;
        VideoTableModel viewerVideos(*SDKManager::instance());
        QVERIFY(LibraryPlatform::SignInModels(&viewer, "viewer@kavro.example"_s, "sub12345"_s,
                                              &viewerCategories, &viewerVideos));
        VideoListWidget viewerPage(viewer, viewerCategories, viewerVideos, *SDKManager::instance());
        viewerPage.show();
        QVERIFY(LibraryPlatform::LoadPage(&viewerPage, &viewerCategories));
        QVERIFY(viewerVideos.rowCount() > 0);

        for (const char* name :
             {"moveMultiVideoButton", "deleteMultiVideoButton", "addCateButton", "uploadButton"}) {
            auto* button = Child<QPushButton>(&viewerPage, name);
            QVERIFY2(!button->isVisible() && !button->isEnabled(), name);
        }
        QVERIFY(Child<QPushButton>(&viewerPage, "exportButton")->isVisible());
        QVERIFY(Child<QLineEdit>(&viewerPage, "searchCateLineEdit")->isEnabled());  // CateSearch

        RecursiveFilterProxyModel* proxy = viewerPage.TreeProxy();
        QMenu* menu = viewerPage.Tree()->CreateItemMenu(proxy->index(0, 0, proxy->index(0, 0)));
        for (const char* action :
             {"addSubCategoryAction", "moveCategoryAction", "renameCategoryAction"}) {
            QVERIFY2(!menu->findChild<QAction*>(QLatin1String(action))->isEnabled(), action);
        }
        delete menu;
        // Edit needs OperaManage (not given), the code OperaCopyCode (given).
        const int state = TableViewDelegate::kButtonStateRole;
        QCOMPARE(viewerVideos.index(0, int(VideoTableModel::Column::Edit)).data(state).toInt(), 0);
        QCOMPARE(viewerVideos.index(0, int(VideoTableModel::Column::CodeGen)).data(state).toInt(),
                 1);
        viewerVideos.StopAllTasksAndWait();
        viewerCategories.StopAllTasksAndWait();
    }

private:
    qulonglong CateIdOf(const QString& name) const;
    QString PathOf(qulonglong cateId) const;
    QModelIndex ProxyIndexOf(qulonglong cateId) const;
    QPixmap Thumbnail(const QString& vid) const;
    ApiCollection::VideoInfo Info(const QString& vid);
    bool Open(VideoEditDialog& dialog, const QString& vid);
    void ShowCategory(const QString& name, bool containSub);

    QStackedWidget* window = nullptr;
    QWidget* otherPage = nullptr;
    VideoListWidget* page = nullptr;
    QStringList released;  // videos with pictures (six snapshots each), for the edit dialog
};

qulonglong TestLibrary::CateIdOf(const QString& name) const
{
    const QModelIndexList found = categories->match(categories->index(0, 0), Qt::DisplayRole, name,
                                                    1, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? 0 : found.first().data(kCateId).toULongLong();
}

QString TestLibrary::PathOf(qulonglong cateId) const
{
    return categories->IndexOfCateId(cateId).data(kCatePath).toString();
}

QModelIndex TestLibrary::ProxyIndexOf(qulonglong cateId) const
{
    RecursiveFilterProxyModel* proxy = page->TreeProxy();
    return proxy
        ->match(proxy->index(0, 0), kCateId, cateId, 1, Qt::MatchExactly | Qt::MatchRecursive)
        .value(0);
}

QPixmap TestLibrary::Thumbnail(const QString& vid) const
{
    const QModelIndexList rows = videos->match(videos->index(0, 0), kVid, vid, 1, Qt::MatchExactly);
    return rows.isEmpty() ? QPixmap()
                          : videos->index(rows.first().row(), 1)
                                .data(VideoTableModel::kThumbnailRole)
                                .value<QPixmap>();
}

ApiCollection::VideoInfo TestLibrary::Info(const QString& vid)
{
    QSignalSpy got(videos, &VideoTableModel::SignalGetVideosInfoSucceed);
    videos->GetVideosInfo({vid}, int(ApiCollection::Basic | ApiCollection::Snapshot));
    if (!got.wait(20000)) {
        return {};
    }
    return got.last().first().value<ApiCollection::VideoInfosResult>().videos.value(0);
}

// Opens dialog over vid as the main window does; true once it is shown with its pictures loaded.
bool TestLibrary::Open(VideoEditDialog& dialog, const QString& vid)
{
    dialog.SetVideoInfo(Info(vid));
    dialog.show();
    return QTest::qWaitForWindowExposed(&dialog) &&
           QTest::qWaitFor([&dialog] { return !dialog.IsLoadingCovers(); }, 20000);
}

void TestLibrary::ShowCategory(const QString& name, bool containSub)
{
    QVERIFY(page->SelectCategory(CateIdOf(name)));
    QVERIFY(LibraryPlatform::WaitForPage(page));
    if (page->ContainSubCate() != containSub) {
        Child<QPushButton>(page, containSub ? "containSubCateButton" : "noContainSubCateButton")
            ->click();
        QVERIFY(LibraryPlatform::WaitForPage(page));
    }
}

QTEST_MAIN(TestLibrary)
#include "tst_library.moc"

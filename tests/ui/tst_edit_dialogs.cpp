// The video edit dialog and the batch search against a devplatform with the demo seed, driven
// as a user would (offscreen, with the Chinese texts): texts edited and found in the library
// after a reload, nothing sent without a change, a cover chosen from the snapshots, own covers
// refused or uploaded, and a batch search that finds some vids and not others.
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QtTest>

#include "EditTestSupport.h"
#include "app/DataDir.h"
#include "models/ModelsPlatform.h"
#include "models/VideoTableModel.h"
#include "tasks/VideoTableModelWorker.h"
#include "ui/library/VidTextBrowser.h"
#include "ui/library/VideoBatchSearchDialog.h"
#include "ui/library/VideoEditDialog.h"
#include "upload/SDKManager.h"

using EditTest::LastTip;
using Role = VideoTableModel::DataRole;

namespace {

template <typename T = QWidget>
T* Child(QWidget* parent, const char* name)
{
    return parent->findChild<T*>(QLatin1String(name));
}

// Types any text, one character (or surrogate pair) per key press; "\n" is Return.
void Type(QWidget* edit, const QString& text)
{
    for (const uint code : text.toUcs4()) {
        if (code == '\n') {
            QTest::keyClick(edit, Qt::Key_Return);
        } else {
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString::fromUcs4(&code, 1),
                                Qt::NoModifier);
        }
    }
}

void Retype(QWidget* edit, const QString& text)
{
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Delete);
    Type(edit, text);
}

}  // namespace

class TestEditDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void editedTextsReachTheLibrary();
    void unchangedSendsNothing();
    void uploadRowLimitsAndValidation();
    void coverFromSnapshot();
    void ownCover_data();
    void ownCover();
    void batchSearchFindsSome();
    void refusalsKeepTheDialogUsable_data();
    void refusalsKeepTheDialogUsable();

private:
    bool Reload();
    // The videos of the loaded page that have pictures (six snapshots each).
    QStringList ReleasedVids() const;
    ApiCollection::VideoInfo Info(const QString& vid);

    QTemporaryDir settings;
    QTemporaryDir files;
    ApiCollection::LoginResult login;
    VideoTableModel* model = nullptr;
};

void TestEditDialogs::cleanupTestCase()
{
    // The pool threads end before the process does, and with them the TLS library's
    // per-thread state (else the leak checker of the sanitized suite reports it).
    QThreadPool::globalInstance()->waitForDone();
}

void TestEditDialogs::initTestCase()
{
    if (!ModelsPlatform::Configured()) {
        QSKIP("no devplatform in the environment");
    }
    QVERIFY(EditTest::InstallChinese());
    ModelsPlatform::UseTestCa(&settings);
    QCOMPARE(ModelsPlatform::SignIn(QStringLiteral("demo@kavro.example"),
                                    QStringLiteral("demo1234"), &login),
             ApiCollection::NoError);
    model = new VideoTableModel(*SDKManager::instance(), this);
    model->SetAccount(ModelsPlatform::Account());
    QVERIFY(Reload());
    QVERIFY(ReleasedVids().size() >= 12);
}

bool TestEditDialogs::Reload()
{
    QSignalSpy succeed(model, &VideoTableModel::SignalRefreshVideoListSucceed);
    model->RefreshVideoList(login.cateId, QString(), true, 1, 100, ApiCollection::CreationTimeAsc);
    return succeed.wait(30000);
}

QStringList TestEditDialogs::ReleasedVids() const
{
    QStringList vids;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QStandardItem* item = model->item(row, 0);
        if (!item->data(int(Role::ThumbnailURL)).toUrl().isEmpty()) {
            vids.append(item->data(int(Role::Vid)).toString());
        }
    }
    return vids;
}

ApiCollection::VideoInfo TestEditDialogs::Info(const QString& vid)
{
    QSignalSpy got(model, &VideoTableModel::SignalGetVideosInfoSucceed);
    model->GetVideosInfo({vid}, int(ApiCollection::Basic | ApiCollection::Snapshot));
    if (!got.wait(20000)) {
        return {};
    }
    const auto result = got.last().first().value<ApiCollection::VideoInfosResult>();
    return result.videos.value(0);
}

void TestEditDialogs::editedTextsReachTheLibrary()
{
    const QString vid = ReleasedVids().at(0);
    VideoEditDialog dialog(*model);
    dialog.SetVideoInfo(Info(vid));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(Child<QLabel>(&dialog, "vidLabel")->text(), vid);

    Retype(Child(&dialog, "titleLineEdit"), QStringLiteral("第一讲 改过的标题"));
    Retype(Child(&dialog, "descPlainTextEdit"), QStringLiteral("新的描述\n第二行"));
    Retype(Child(&dialog, "tagsLineEdit"), QStringLiteral("数学,复习"));
    QSignalSpy finished(&dialog, &QDialog::finished);
    auto* ok = Child<QPushButton>(&dialog, "okButton");
    QTest::mouseClick(ok, Qt::LeftButton);
    QVERIFY(!ok->isEnabled());
    // Escape while the update runs is refused.
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QCOMPARE(LastTip(&dialog), QStringLiteral("正在保存视频信息，请稍后再关闭"));
    QVERIFY(dialog.isVisible());
    QVERIFY(finished.wait(20000));
    QCOMPARE(dialog.result(), int(QDialog::Accepted));

    QVERIFY(Reload());
    const QModelIndexList rows =
        model->match(model->index(0, 0), int(Role::Vid), vid, 1, Qt::MatchExactly);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().data(int(Role::Title)).toString(), QStringLiteral("第一讲 改过的标题"));
    QCOMPARE(rows.first().data(int(Role::Description)).toString(),
             QStringLiteral("新的描述\n第二行"));
    QCOMPARE(rows.first().data(int(Role::Tags)).toString(), QStringLiteral("数学,复习"));
}

void TestEditDialogs::unchangedSendsNothing()
{
    const QString vid = ReleasedVids().at(1);
    VideoEditDialog dialog(*model);
    dialog.SetVideoInfo(Info(vid));
    dialog.show();
    QSignalSpy updated(model, &VideoTableModel::SignalUpdateVideoInfoSucceed);
    QSignalSpy failed(model, &VideoTableModel::SignalUpdateVideoInfoFailed);
    QSignalSpy finished(&dialog, &QDialog::finished);
    // An edit taken back again is no change.
    auto* title = Child<QLineEdit>(&dialog, "titleLineEdit");
    QTest::keyClicks(title, QStringLiteral("x"));
    QTest::keyClick(title, Qt::Key_Backspace);
    QTest::mouseClick(Child(&dialog, "okButton"), Qt::LeftButton);
    QCOMPARE(finished.size(), 1);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(
        model->Worker()->TasksOfType(int(VideoTableModel::TaskType::UpdateVideoInfo)).isEmpty());
    QTest::qWait(300);
    QCOMPARE(updated.size() + failed.size(), 0);
}

void TestEditDialogs::uploadRowLimitsAndValidation()
{
    VideoEditDialog dialog;  // a file about to be uploaded: no service at all
    dialog.SetTitle(QStringLiteral("lesson-01"));
    dialog.SetFileSize(1536);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(Child(&dialog, "vidLabel")->isHidden());
    QVERIFY(Child(&dialog, "uploadTimeLabel")->isHidden());
    QVERIFY(!Child(&dialog, "fileSizeLabel")->isHidden());
    QCOMPARE(Child<QLabel>(&dialog, "fileSizeLabel")->text(), QStringLiteral("1.50 KB"));
    QVERIFY(!Child(&dialog, "basicInfoButton")->isVisible());

    auto* title = Child<QLineEdit>(&dialog, "titleLineEdit");
    Retype(title, QString(201, QLatin1Char('t')));
    QCOMPARE(title->text().size(), 200);
    QCOMPARE(Child<QLabel>(&dialog, "titleCountLabel")->text(), QStringLiteral("200/200"));
    auto* desc = Child<QPlainTextEdit>(&dialog, "descPlainTextEdit");
    desc->setPlainText(QString(999, QLatin1Char('d')));
    desc->moveCursor(QTextCursor::End);
    QTest::keyClicks(desc, QStringLiteral("xyz"));
    QCOMPARE(desc->toPlainText().size(), 1000);
    QCOMPARE(Child<QLabel>(&dialog, "descCountLabel")->text(), QStringLiteral("1000/1000"));

    auto* ok = Child(&dialog, "okButton");
    Retype(title, QString());
    QTest::mouseClick(ok, Qt::LeftButton);
    QCOMPARE(LastTip(&dialog), QStringLiteral("标题不能为空"));
    // A character outside the Basic Multilingual Plane is refused and marked.
    Retype(title, QStringLiteral("lesson ") + QString::fromUcs4(U"\U0001F600"));
    QTest::mouseClick(ok, Qt::LeftButton);
    QCOMPARE(LastTip(&dialog), QStringLiteral("输入内容含有不支持的字符，请修改后重试"));
    QCOMPARE(title->property("status").toString(), QStringLiteral("error"));
    QVERIFY(dialog.isVisible());

    Retype(title, QStringLiteral("第一讲"));
    Retype(Child(&dialog, "tagsLineEdit"), QStringLiteral("a,b"));
    QTest::mouseClick(ok, Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.Title(), QStringLiteral("第一讲"));
    QCOMPARE(dialog.Tags(), QStringLiteral("a,b"));
}

void TestEditDialogs::coverFromSnapshot()
{
    const QString vid = ReleasedVids().at(2);
    const QString cache = DataDirPath(QStringLiteral("thumbs/%1/%2").arg(login.userId, vid));
    QUrl chosen;
    {
        VideoEditDialog dialog(*model);
        dialog.SetVideoInfo(Info(vid));
        dialog.show();
        QTest::mouseClick(Child(&dialog, "coverInfoButton"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsLoadingCovers(), 20000);
        for (int i = 1; i <= 6; ++i) {
            const QByteArray name = "thumbs" + QByteArray::number(i) + "Label";
            QVERIFY2(Child(&dialog, name.constData())->property("valid").toBool(),
                     name.constData());
            QVERIFY(QFileInfo::exists(cache + QStringLiteral("/snapbig_%1.png").arg(i - 1)));
        }
        auto* third = Child<QLabel>(&dialog, "thumbs3Label");
        QVERIFY(!third->property("selected").toBool());
        QTest::mouseClick(third, Qt::LeftButton);
        QVERIFY(dialog.IsBusy());
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsBusy(), 20000);
        QCOMPARE(LastTip(&dialog), QStringLiteral("封面更换成功"));
        QVERIFY(third->property("selected").toBool());
        chosen = Info(vid).coverURL;
        QCOMPARE(chosen.fileName(), QStringLiteral("snapbig_2.png"));
    }
    // Opened again, the dialog marks the chosen snapshot as the current cover.
    VideoEditDialog dialog(*model);
    dialog.SetVideoInfo(Info(vid));
    dialog.show();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsLoadingCovers(), 20000);
    QVERIFY(Child(&dialog, "thumbs3Label")->property("selected").toBool());
    QVERIFY(!Child(&dialog, "thumbs1Label")->property("selected").toBool());
    QVERIFY(Child(&dialog, "coverSelectedLabel")->property("valid").toBool());
}

void TestEditDialogs::ownCover_data()
{
    QTest::addColumn<QSize>("pixels");
    QTest::addColumn<qint64>("padTo");
    QTest::addColumn<QString>("tip");
    QTest::newRow("6 MiB") << QSize(640, 360) << qint64(6) * 1024 * 1024
                           << QStringLiteral("封面图片不能超过 5 MB");
    QTest::newRow("2000x1200") << QSize(2000, 1200) << qint64(0)
                               << QStringLiteral("封面图片分辨率不能超过 1920×1080");
    QTest::newRow("fits") << QSize(800, 450) << qint64(0) << QStringLiteral("封面上传成功");
}

void TestEditDialogs::ownCover()
{
    QFETCH(QSize, pixels);
    QFETCH(qint64, padTo);
    QFETCH(QString, tip);
    const QString path =
        files.filePath(QStringLiteral("封面 %1.png").arg(QLatin1String(QTest::currentDataTag())));
    QImage image(pixels, QImage::Format_RGB32);
    image.fill(QColor(QStringLiteral("#3a6ea5")));
    QVERIFY(image.save(path));
    if (padTo > 0) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite) && file.resize(padTo));
    }
    const QString vid = ReleasedVids().at(3);
    const QUrl before = Info(vid).coverURL;
    VideoEditDialog dialog(*model);
    dialog.SetVideoInfo(Info(vid));
    dialog.show();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsLoadingCovers(), 20000);
    dialog.UploadCover(path);
    const bool accepted = padTo == 0 && pixels.width() <= 1920;
    QCOMPARE(dialog.IsBusy(), accepted);
    if (!accepted) {
        QCOMPARE(LastTip(&dialog), tip);
        QVERIFY(model->Worker()
                    ->TasksOfType(int(VideoTableModel::TaskType::UploadVideoCover))
                    .isEmpty());
        QVERIFY(Child<QPushButton>(&dialog, "uploadCoverButton")->isEnabled());
        QCOMPARE(Info(vid).coverURL, before);
        return;
    }
    QVERIFY(!Child<QPushButton>(&dialog, "uploadCoverButton")->isEnabled());
    dialog.reject();
    QCOMPARE(LastTip(&dialog), QStringLiteral("正在上传封面，请稍后再关闭"));
    QVERIFY(dialog.isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsBusy(), 20000);
    QCOMPARE(LastTip(&dialog), tip);
    const QUrl cover = Info(vid).coverURL;
    QVERIFY2(cover.path().contains(QStringLiteral("/covers/")), qPrintable(cover.toString()));
    // The new cover is fetched into the cache and shown as the current one.
    const QString cached = DataDirPath(QStringLiteral("thumbs/%1/%2").arg(login.userId, vid)) +
                           QLatin1Char('/') + cover.fileName();
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(cached), 20000);
    QCOMPARE(QImage(cached).size(), pixels);
    QVERIFY(Child<QPushButton>(&dialog, "uploadCoverButton")->isEnabled());
    dialog.reject();
    QVERIFY(!dialog.isVisible());
}

void TestEditDialogs::batchSearchFindsSome()
{
    const QStringList released = ReleasedVids();
    QStringList pasted = released.mid(4, 8);
    pasted.insert(3, QStringLiteral("not-a-vid"));
    pasted.append(released.at(4).left(33));
    VideoBatchSearchDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    VidTextBrowser* browser = dialog.Browser();
    browser->setFocus();
    QApplication::clipboard()->setText(pasted.join(QStringLiteral("\n")));
    browser->paste();
    QCOMPARE(LastTip(browser), QStringLiteral("已添加 8 个视频 ID，2 个格式不正确"));
    // A well-formed vid the library does not have.
    const QString unknown = QStringLiteral("00000000000000000000000000000000_9");
    QTest::keyClicks(browser, unknown);
    QTest::mouseClick(Child(&dialog, "queryButton"), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.Vids().size(), 9);

    QSignalSpy done(model, &VideoTableModel::SignalGetVideoListDone);
    model->GetVideosInfo2(dialog.Vids(), int(ApiCollection::Basic));
    QVERIFY(done.wait(20000));
    QCOMPARE(done.first().first().toInt(), 8);
    QStringList found;
    for (int row = 0; row < model->rowCount(); ++row) {
        found.append(model->item(row, 0)->data(int(Role::Vid)).toString());
    }
    QCOMPARE(found, released.mid(4, 8));
}

void TestEditDialogs::refusalsKeepTheDialogUsable_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("tip");
    QTest::newRow("update refused")
        << QStringLiteral("path=/v3/video/update-info,code=4000,times=1") << QStringLiteral("ok")
        << QStringLiteral("视频信息保存失败：");
    QTest::newRow("update slow") << QStringLiteral("path=/v3/video/update-info,delay=2600,times=1")
                                 << QStringLiteral("ok")
                                 << QStringLiteral("网络较慢，正在处理，请稍候……");
    QTest::newRow("cover change refused")
        << QStringLiteral("path=/v3/video/change-cover-image,code=3100,times=1")
        << QStringLiteral("snapshot") << QStringLiteral("封面更换失败：");
    QTest::newRow("cover upload refused")
        << QStringLiteral("path=/v3/video/upload-cover-image,status=503,times=1")
        << QStringLiteral("upload") << QStringLiteral("封面上传失败：");
}

void TestEditDialogs::refusalsKeepTheDialogUsable()
{
    QFETCH(QString, fault);
    QFETCH(QString, action);
    QFETCH(QString, tip);
    const QString vid = ReleasedVids().at(5);
    VideoEditDialog dialog(*model);
    dialog.SetVideoInfo(Info(vid));
    dialog.show();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsLoadingCovers(), 20000);
    QTest::mouseClick(Child(&dialog, "coverInfoButton"), Qt::LeftButton);
    QVERIFY(ModelsPlatform::SetFault(fault));
    auto* stack = Child<QStackedWidget>(&dialog, "stackedWidget");
    if (action == QLatin1String("ok")) {
        Child<QLineEdit>(&dialog, "titleLineEdit")->setText(QStringLiteral("Renamed"));
        QTest::mouseClick(Child(&dialog, "okButton"), Qt::LeftButton);
    } else if (action == QLatin1String("snapshot")) {
        QTest::mouseClick(Child(&dialog, "thumbs5Label"), Qt::LeftButton);
    } else {
        const QString path = files.filePath(QStringLiteral("refused.png"));
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
    if (action == QLatin1String("ok") && tip.startsWith(QStringLiteral("视频信息"))) {
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

QTEST_MAIN(TestEditDialogs)
#include "tst_edit_dialogs.moc"

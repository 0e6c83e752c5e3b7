// The batch vid search as a user drives it (offscreen, with the Chinese texts): typing and
// Return, pasting a mixed list, Backspace and the chips' delete icons, the 100-vid cap, importing
// and dropping files, and the query button.
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "EditTestSupport.h"
#include "ui/library/VidTextBrowser.h"
#include "ui/library/VideoBatchSearchDialog.h"

using EditTest::LastTip;

namespace {

QString Vid(int i)
{
    return QStringLiteral("%1_%2").arg(QString::number(0x20000000 + i, 16).repeated(4)).arg(i % 10);
}

void Type(QWidget* widget, const QString& text)
{
    QTest::keyClicks(widget, text);
    QTest::keyClick(widget, Qt::Key_Return);
}

}  // namespace

class TestEditBatch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void typeAndReturn_data();
    void typeAndReturn();
    void pasteSplitsAtFirstSeparator();
    void backspaceAndDeleteIconRemoveChips();
    void hundredVidsAtMost();
    void importReportsAddedAndInvalid();
    void dropAcceptsOnlyCsvAndTxt();
    void queryNeedsVids();

private:
    VideoBatchSearchDialog* dialog = nullptr;
    VidTextBrowser* browser = nullptr;
    QTemporaryDir dir;
};

void TestEditBatch::initTestCase()
{
    QVERIFY(EditTest::InstallChinese());
}

void TestEditBatch::init()
{
    dialog = new VideoBatchSearchDialog;
    browser = dialog->Browser();
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    browser->setFocus();
}

void TestEditBatch::cleanup()
{
    delete dialog;
    dialog = nullptr;
}

void TestEditBatch::typeAndReturn_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("tip");
    QTest::addColumn<QString>("left");  // what stays typed
    QTest::newRow("valid") << Vid(1) << 2 << QString() << QString();
    QTest::newRow("33 characters")
        << Vid(1).left(33) << 1 << QStringLiteral("请输入正确的视频 ID") << Vid(1).left(33);
    QTest::newRow("two _") << Vid(1).left(31) + QStringLiteral("__1") << 1
                           << QStringLiteral("请输入正确的视频 ID")
                           << Vid(1).left(31) + QStringLiteral("__1");
    QTest::newRow("listed") << Vid(0) << 1 << QStringLiteral("该视频 ID 已在列表中") << QString();
}

void TestEditBatch::typeAndReturn()
{
    QFETCH(QString, typed);
    QVERIFY(browser->AddVid(Vid(0)));
    auto* count = dialog->findChild<QLabel*>(QStringLiteral("countLabel"));
    Type(browser, typed);
    QTEST(browser->Count(), "count");
    QTEST(LastTip(browser), "tip");
    // What stays typed follows the last chip.
    QTEST(browser->toPlainText().section(QChar::ObjectReplacementCharacter, -1).trimmed(), "left");
    QCOMPARE(count->text(), QStringLiteral("已输入 %1 个视频 ID，还可输入 %2 个")
                                .arg(browser->Count())
                                .arg(100 - browser->Count()));
    // Every listed vid stands as a chip (an image) in the document.
    QCOMPARE(browser->toPlainText().count(QChar::ObjectReplacementCharacter), browser->Count());
}

void TestEditBatch::pasteSplitsAtFirstSeparator()
{
    // Commas come first: the part holding a space is one wrong token.
    QApplication::clipboard()->setText(Vid(1) + QStringLiteral(",") + Vid(2) + QStringLiteral(" ") +
                                       Vid(3) + QStringLiteral(",nope,") + Vid(4));
    browser->paste();
    QCOMPARE(browser->Vids(), (QStringList{Vid(1), Vid(4)}));
    QCOMPARE(LastTip(browser), QStringLiteral("已添加 2 个视频 ID，2 个格式不正确"));
}

void TestEditBatch::backspaceAndDeleteIconRemoveChips()
{
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
}

void TestEditBatch::hundredVidsAtMost()
{
    for (int i = 0; i < 100; ++i) {
        QVERIFY(browser->AddVid(Vid(i)));
    }
    Type(browser, Vid(100));
    QCOMPARE(browser->Count(), 100);
    QCOMPARE(LastTip(browser), QStringLiteral("最多只能输入 100 个视频 ID"));
    QVERIFY(!browser->AddVid(Vid(101)));
}

void TestEditBatch::importReportsAddedAndInvalid()
{
    const QString path = dir.filePath(QStringLiteral("ten-and-two.csv"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    for (int i = 0; i < 10; ++i) {
        file.write(Vid(i).toUtf8() + "\r\n");
        if (i == 3 || i == 7) {
            file.write(Vid(i).toUtf8() + "9\r\n");
        }
    }
    file.close();
    dialog->ImportFiles({path});
    QCOMPARE(browser->Count(), 10);
    QCOMPARE(LastTip(browser), QStringLiteral("已添加 10 个视频 ID，2 个格式不正确"));
}

void TestEditBatch::dropAcceptsOnlyCsvAndTxt()
{
    const QString txt = dir.filePath(QStringLiteral("list.TXT"));
    const QString movie = dir.filePath(QStringLiteral("movie.mp4"));
    for (const QString& path : {txt, movie}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(Vid(5).toUtf8() + "\n");
    }
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(txt), QUrl::fromLocalFile(movie)});
    const QPoint inside = dialog->rect().center();
    QDragEnterEvent enter(inside, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(dialog, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(inside, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(dialog, &drop);
    QCOMPARE(LastTip(dialog), QStringLiteral("只支持拖入 csv 或 txt 文件"));
    QCOMPARE(browser->Vids(), QStringList{Vid(5)});
}

void TestEditBatch::queryNeedsVids()
{
    auto* query = dialog->findChild<QPushButton*>(QStringLiteral("queryButton"));
    QTest::mouseClick(query, Qt::LeftButton);
    QCOMPARE(LastTip(dialog), QStringLiteral("请先输入要查询的视频 ID"));
    QVERIFY(dialog->isVisible());
    // Typed but not yet committed: the query commits it first.
    QTest::keyClicks(browser, Vid(8));
    QTest::mouseClick(query, Qt::LeftButton);
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(dialog->Vids(), QStringList{Vid(8)});
}

QTEST_MAIN(TestEditBatch)
#include "tst_edit_batch.moc"

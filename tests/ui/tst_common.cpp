// The common widgets: toast placement and refusal, the message box's answer, the combo wheel
// guard, the two-state button and the title bar's maximise toggle.
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "ui/common/ComboBoxHelper.h"
#include "ui/common/MsgBox.h"
#include "ui/common/StatusButton.h"
#include "ui/common/TitleBar.h"
#include "ui/common/Toast.h"

class TestCommon : public QObject
{
    Q_OBJECT

private slots:
    void toastOnHiddenParentIsRefused();
    void toastAlignment_data();
    void toastAlignment();
    void msgBoxAnswer_data();
    void msgBoxAnswer();
    void wheelOverCombo_data();
    void wheelOverCombo();
    void statusButtonTexts();
    void titleBarMaximize();
    void dragRestoresMaximized();
};

void TestCommon::toastOnHiddenParentIsRefused()
{
    QWidget parent;
    QVERIFY(Toast::ShowToastInParent(&parent, QStringLiteral("x")).isNull());
    QVERIFY(parent.findChildren<Toast*>().isEmpty());
}

void TestCommon::toastAlignment_data()
{
    QTest::addColumn<int>("alignment");
    QTest::addColumn<bool>("centredX");
    QTest::addColumn<QString>("vertical");  // "top", "centre", "bottom"
    QTest::newRow("160 top centre") << 160 << true << QStringLiteral("top");
    QTest::newRow("centre") << int(Qt::AlignCenter) << true << QStringLiteral("centre");
    QTest::newRow("bottom left") << int(Qt::AlignBottom | Qt::AlignLeft) << false
                                 << QStringLiteral("bottom");
}

void TestCommon::toastAlignment()
{
    QFETCH(int, alignment);
    QFETCH(bool, centredX);
    QFETCH(QString, vertical);

    QWidget parent;
    parent.setGeometry(100, 80, 1000, 600);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    QPointer<Toast> toast = Toast::ShowToastInParent(&parent, QStringLiteral("notice"), 1,
                                                     Qt::Alignment(alignment), false);
    QVERIFY(toast);
    const QRect area(parent.mapToGlobal(QPoint(0, 0)), parent.size());
    const QRect rect = toast->frameGeometry();
    if (centredX) {
        QCOMPARE(rect.center().x(), area.center().x());
    } else {
        QCOMPARE(rect.left(), area.left());
    }
    if (vertical == QLatin1String("top")) {
        QCOMPARE(rect.top(), area.top());
    } else if (vertical == QLatin1String("bottom")) {
        QCOMPARE(rect.bottom(), area.bottom());
    } else {
        QCOMPARE(rect.center().y(), area.center().y());
    }
    QCOMPARE(toast->findChild<QWidget*>(QStringLiteral("container"))->property("type").toString(),
             QStringLiteral("warning"));
}

void TestCommon::msgBoxAnswer_data()
{
    QTest::addColumn<QString>("action");  // the button clicked, or "escape"
    QTest::addColumn<int>("expected");
    QTest::newRow("ok") << QStringLiteral("ok") << int(QMessageBox::Ok);
    QTest::newRow("cancel") << QStringLiteral("cancel") << int(QMessageBox::Cancel);
    QTest::newRow("escape") << QStringLiteral("escape") << int(QMessageBox::NoButton);
}

void TestCommon::msgBoxAnswer()
{
    QFETCH(QString, action);
    QFETCH(int, expected);

    bool seen = false;
    QTimer::singleShot(50, this, [&] {
        auto* box = qobject_cast<MsgBox*>(QApplication::activeModalWidget());
        if (!box) {
            return;
        }
        seen = true;
        auto* buttons = box->findChild<QDialogButtonBox*>();
        if (action == QLatin1String("escape")) {
            QTest::keyClick(box, Qt::Key_Escape);
        } else {
            QTest::mouseClick(
                buttons->button(action == QLatin1String("ok") ? QDialogButtonBox::Ok
                                                              : QDialogButtonBox::Cancel),
                Qt::LeftButton);
        }
    });
    const QMessageBox::StandardButton answer =
        MsgBox::Info(nullptr, QStringLiteral("SystemTip"), QStringLiteral("Go on?"),
                     QMessageBox::Ok | QMessageBox::Cancel);
    QVERIFY(seen);
    QCOMPARE(int(answer), expected);
}

void TestCommon::wheelOverCombo_data()
{
    QTest::addColumn<bool>("registered");
    QTest::newRow("registered") << true;
    QTest::newRow("plain combo turns") << false;
}

void TestCommon::wheelOverCombo()
{
    QFETCH(bool, registered);
    QComboBox combo;
    combo.addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
    combo.setCurrentIndex(1);
    if (registered) {
        ComboBoxHelper::Instance()->Install(&combo);
        ComboBoxHelper::Instance()->Install(&combo);  // a second call changes nothing
        QVERIFY(ComboBoxHelper::Instance()->IsInstalled(&combo));
        QVERIFY(!combo.itemDelegate()->inherits("QComboMenuDelegate"));
    }
    combo.show();
    QVERIFY(QTest::qWaitForWindowExposed(&combo));
    const QPoint pos = combo.rect().center();
    QWheelEvent wheel(pos, combo.mapToGlobal(pos), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&combo, &wheel);
    QCOMPARE(combo.currentIndex() == 1, registered);
}

void TestCommon::statusButtonTexts()
{
    StatusButton text(QStringLiteral("pause"), QStringLiteral("Pause"), QStringLiteral("Start"),
                      true);
    QCOMPARE(text.text(), QStringLiteral("Pause"));
    text.setChecked(true);
    QCOMPARE(text.text(), QStringLiteral("Start"));

    StatusButton icon(QStringLiteral("pause"), QStringLiteral("Pause"), QStringLiteral("Start"),
                      false);
    QVERIFY(icon.text().isEmpty());
    QCOMPARE(icon.toolTip(), QStringLiteral("Pause"));
    icon.SetTexts(QStringLiteral("A"), QStringLiteral("B"), true);
    QCOMPARE(icon.text(), QStringLiteral("A"));
}

void TestCommon::titleBarMaximize()
{
    QWidget host(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    host.setWindowTitle(QStringLiteral("Host title"));
    auto* bar = new TitleBar(&host);
    host.setGeometry(50, 60, 500, 300);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    QCOMPARE(bar->Title(), QStringLiteral("Host title"));
    host.setWindowTitle(QStringLiteral("Renamed"));
    QCOMPARE(bar->Title(), QStringLiteral("Renamed"));

    auto* maximum = bar->findChild<QPushButton*>(QStringLiteral("maximumBtn"));
    QVERIFY(maximum->isVisible());
    const QRect normal = host.geometry();
    maximum->click();
    QTRY_VERIFY(host.isMaximized());
    QCOMPARE(host.property("windowNormalGeometry").toRect(), normal);
    QVERIFY(maximum->isChecked());
    QCOMPARE(maximum->toolTip(), QStringLiteral("Restore"));
    maximum->click();
    QTRY_VERIFY(!host.isMaximized());
    QVERIFY(!maximum->isChecked());
    QCOMPARE(maximum->toolTip(), QStringLiteral("Maximum"));
}

void TestCommon::dragRestoresMaximized()
{
    QWidget host(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowMaximizeButtonHint |
                              Qt::WindowCloseButtonHint);
    auto* bar = new TitleBar(&host);
    bar->setGeometry(0, 0, 400, 40);
    host.setGeometry(100, 100, 400, 300);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    const QSize normalSize = host.size();
    bar->findChild<QPushButton*>(QStringLiteral("maximumBtn"))->click();
    QTRY_VERIFY(host.isMaximized());
    QTRY_VERIFY(host.width() > normalSize.width());

    const QPoint press(host.width() / 2 + 37, 20);
    const QPoint pointer = bar->mapToGlobal(press);
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, press);
    QTRY_VERIFY(!host.isMaximized());
    QCOMPARE(host.size(), normalSize);
    // Restored at its old size, centred horizontally under the pointer.
    QVERIFY(qAbs(host.geometry().center().x() - pointer.x()) <= 1);
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, press);
}

QTEST_MAIN(TestCommon)
#include "tst_common.moc"

// The library page's widgets on their own (offscreen, no platform): the paginator's window and
// its report-never-redraw rule, smooth scrolling at the ends and its speed carry, the header
// check box, button cells, the category filter rule around 1000 names and what applying it does
// to a tree, and the playback code.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QStringListModel>
#include <QTreeView>
#include <QtTest>

#include "ui/library/CategoryFilterRule.h"
#include "ui/library/CheckableHeaderView.h"
#include "ui/library/CopyCodeDialog.h"
#include "ui/library/Paginator.h"
#include "ui/library/SmoothScrollHelper.h"
#include "ui/library/TableViewDelegate.h"
#include "ui/library/VideoTableView.h"

namespace {

QPushButton* Button(QWidget* parent, const char* name)
{
    return parent->findChild<QPushButton*>(QLatin1String(name));
}

QStringList VisibleNumbers(Paginator& paginator)
{
    QStringList numbers;
    for (const char* name : {"firstBtn", "secondBtn", "thirdBtn", "fourthBtn", "fifthBtn"}) {
        QPushButton* button = Button(&paginator, name);
        if (button->isVisibleTo(&paginator)) {
            numbers.append(button->text() +
                           (button->isChecked() ? QStringLiteral("*") : QString()));
        }
    }
    return numbers;
}

void Wheel(QWidget* target, int delta)
{
    QWheelEvent event(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}

}  // namespace

class TestLibraryWidgets : public QObject
{
    Q_OBJECT

private slots:
    void paginatorWindow_data();
    void paginatorWindow();
    void paginatorReportsWithoutRedrawing();
    void smoothScrollEnds();
    void smoothScrollCarriesSpeed();
    void headerCheckBoxFollowsRows();
    void buttonCellClicks();
    void filterRule_data();
    void filterRule();
    void filterRuleAppliesToTree();
    void copyCodeHoldsVid();
};

void TestLibraryWidgets::paginatorWindow_data()
{
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("total");
    QTest::addColumn<QString>("buttons");  // visible numbers, '*' = checked
    QTest::addColumn<bool>("previous");
    QTest::addColumn<bool>("next");
    QTest::newRow("1 of 10") << 1 << 10 << "1*,2,3,4,5" << false << true;
    QTest::newRow("3 of 10") << 3 << 10 << "1,2,3*,4,5" << true << true;
    QTest::newRow("4 of 10") << 4 << 10 << "2,3,4*,5,6" << true << true;
    QTest::newRow("5 of 10") << 5 << 10 << "3,4,5*,6,7" << true << true;
    QTest::newRow("8 of 10") << 8 << 10 << "6,7,8*,9,10" << true << true;
    QTest::newRow("9 of 10") << 9 << 10 << "6,7,8,9*,10" << true << true;
    QTest::newRow("10 of 10") << 10 << 10 << "6,7,8,9,10*" << true << false;
    QTest::newRow("2 of 3") << 2 << 3 << "1,2*,3" << true << true;
    QTest::newRow("3 of 3") << 3 << 3 << "1,2,3*" << true << false;
    QTest::newRow("1 of 1") << 1 << 1 << "1*" << false << false;
    QTest::newRow("5 of 5") << 5 << 5 << "1,2,3,4,5*" << true << false;
    QTest::newRow("4 of 6") << 4 << 6 << "2,3,4*,5,6" << true << true;
    QTest::newRow("2500 of 5000") << 2500 << 5000 << "2498,2499,2500*,2501,2502" << true << true;
}

void TestLibraryWidgets::paginatorWindow()
{
    QFETCH(int, current);
    QFETCH(int, total);
    QFETCH(QString, buttons);
    QFETCH(bool, previous);
    QFETCH(bool, next);
    Paginator paginator;
    paginator.SetPages(current, total, 20);
    QCOMPARE(VisibleNumbers(paginator).join(QLatin1Char(',')), buttons);
    QCOMPARE(Button(&paginator, "previousBtn")->isEnabled(), previous);
    QCOMPARE(Button(&paginator, "nextBtn")->isEnabled(), next);
    auto* pages = paginator.findChild<QComboBox*>(QStringLiteral("pageComboBox"));
    QCOMPARE(pages->count(), total);
    QCOMPARE(pages->currentText(), QString::number(current));
    QCOMPARE(paginator.findChild<QLabel*>(QStringLiteral("totalPage"))->text(),
             QStringLiteral("total %1 pages").arg(total));
}

void TestLibraryWidgets::paginatorReportsWithoutRedrawing()
{
    Paginator paginator;
    auto* content = paginator.findChild<QWidget*>(QStringLiteral("contentWidget"));
    QVERIFY(content->isHidden());
    paginator.SetPages(4, 10, 20);
    QVERIFY(!content->isHidden());
    QSignalSpy changed(&paginator, &Paginator::SignalPageChanged);

    Button(&paginator, "thirdBtn")->click();  // "4", the current page
    QCOMPARE(changed.size(), 0);
    Button(&paginator, "fourthBtn")->click();  // "5"
    QCOMPARE(changed.takeFirst(), (QList<QVariant>{5ULL, 20ULL}));
    QCOMPARE(VisibleNumbers(paginator).join(QLatin1Char(',')), QStringLiteral("2,3,4*,5,6"));
    Button(&paginator, "previousBtn")->click();
    QCOMPARE(changed.takeFirst(), (QList<QVariant>{3ULL, 20ULL}));

    auto* sizes = paginator.findChild<QComboBox*>(QStringLiteral("pageSizeComboBox"));
    sizes->setCurrentIndex(1);  // 50 per page: back to page 1
    QCOMPARE(changed.takeFirst(), (QList<QVariant>{1ULL, 50ULL}));
    QCOMPARE(sizes->currentData().toInt(), 20);
    QCOMPARE(paginator.Current(), 4ULL);

    auto* pages = paginator.findChild<QComboBox*>(QStringLiteral("pageComboBox"));
    emit pages->textActivated(QStringLiteral("4"));
    QCOMPARE(changed.size(), 0);
    emit pages->textActivated(QStringLiteral("9"));
    QCOMPARE(changed.takeFirst(), (QList<QVariant>{9ULL, 20ULL}));

    paginator.SetPages(1, 10, 30);  // not one of the offered sizes
    QCOMPARE(sizes->currentIndex(), -1);
    paginator.SetPages(0, 10, 20);  // ignored
    QCOMPARE(paginator.Current(), 1ULL);
    QCOMPARE(changed.size(), 0);
}

void TestLibraryWidgets::smoothScrollEnds()
{
    QScrollArea area;
    auto* content = new QWidget;
    content->setFixedSize(100, 5000);
    area.setWidget(content);
    area.resize(120, 200);
    area.show();
    SmoothScrollHelper helper;
    helper.setTarget(&area);
    QSignalSpy toEnd(&helper, &SmoothScrollHelper::ScrollToEnd);
    QSignalSpy toBegin(&helper, &SmoothScrollHelper::ScrollToBegin);

    Wheel(area.viewport(), 120);  // towards the top while at the top
    QCOMPARE(toBegin.size(), 1);
    QVERIFY(!helper.IsScrolling());

    QScrollBar* bar = area.verticalScrollBar();
    Wheel(area.viewport(), -120);
    QVERIFY(helper.IsScrolling());
    QTRY_VERIFY(!helper.IsScrolling());
    QVERIFY(bar->value() > 0);

    bar->setValue(bar->maximum());
    Wheel(area.viewport(), -120);
    QCOMPARE(toEnd.size(), 1);
    QVERIFY(!helper.IsScrolling());
    QCOMPARE(helper.Speed(), 0);
}

void TestLibraryWidgets::smoothScrollCarriesSpeed()
{
    QScrollArea area;
    auto* content = new QWidget;
    content->setFixedSize(100, 100000);
    area.setWidget(content);
    area.resize(120, 200);
    area.show();
    SmoothScrollHelper helper;
    helper.setTarget(&area);
    area.verticalScrollBar()->setValue(50000);

    Wheel(area.viewport(), -120);
    const int first = helper.Speed();
    QCOMPARE(first, -8);
    Wheel(area.viewport(), -120);
    QCOMPARE(helper.Speed(), -16);  // the first turn's whole speed carried over
    for (int i = 0; i < 30; ++i) {
        Wheel(area.viewport(), -120);
        QVERIFY(helper.Speed() >= -100);
    }
    QCOMPARE(helper.Speed(), -100);
    Wheel(area.viewport(), 120);  // turning back starts from the carried speed
    QVERIFY(helper.Speed() <= 100);
}

void TestLibraryWidgets::headerCheckBoxFollowsRows()
{
    QStandardItemModel model(0, 3);
    model.setHeaderData(0, Qt::Horizontal, Qt::Unchecked, Qt::CheckStateRole);
    VideoTableView view;
    view.setModel(&model);
    CheckableHeaderView* header = view.Header();
    QVERIFY(header->IsCheckBoxDisabled(0));

    for (int row = 0; row < 3; ++row) {
        auto* item = new QStandardItem;
        item->setCheckState(Qt::Unchecked);
        model.appendRow({item, new QStandardItem, new QStandardItem});
    }
    QVERIFY(!header->IsCheckBoxDisabled(0));
    view.resize(400, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    view.selectRow(1);
    QCOMPARE(model.item(1)->checkState(), Qt::Checked);
    QCOMPARE(model.headerData(0, Qt::Horizontal, Qt::CheckStateRole).toInt(),
             int(Qt::PartiallyChecked));

    // A click on the partially checked box checks every row.
    const QPoint box(header->sectionViewportPosition(0) + header->sectionSize(0) / 2,
                     header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, box);
    for (int row = 0; row < 3; ++row) {
        QCOMPARE(model.item(row)->checkState(), Qt::Checked);
    }
    QCOMPARE(model.headerData(0, Qt::Horizontal, Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, box);
    QCOMPARE(model.item(0)->checkState(), Qt::Unchecked);
    QVERIFY(view.selectionModel()->selectedRows().isEmpty());
}

void TestLibraryWidgets::buttonCellClicks()
{
    QStandardItemModel model(1, 9);
    VideoTableView view;
    view.setModel(&model);
    QStandardItem* edit = new QStandardItem(QStringLiteral("Edit"));
    edit->setData(1, TableViewDelegate::kButtonCellRole);
    edit->setData(QVariant::fromValue<QObject*>(view.EditButtonTemplate()),
                  TableViewDelegate::kButtonTemplateRole);
    edit->setData(TableViewDelegate::kEnabledBit, TableViewDelegate::kButtonStateRole);
    model.setItem(0, 7, edit);
    view.resize(1000, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy edits(&view, &VideoTableView::SignalEditVideo);
    const QModelIndex cell = model.index(0, 7);
    const QPoint centre = view.visualRect(cell).center();

    // Pressed inside, released outside: nothing, and the pressed look is gone.
    QTest::mousePress(view.viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    QVERIFY(cell.data(TableViewDelegate::kButtonStateRole).toInt() &
            TableViewDelegate::kPressedBit);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, Qt::NoModifier,
                        view.visualRect(model.index(0, 2)).center());
    QCOMPARE(edits.size(), 0);
    QCOMPARE(
        cell.data(TableViewDelegate::kButtonStateRole).toInt() & TableViewDelegate::kPressedBit, 0);

    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    QCOMPARE(edits.size(), 1);
    QVERIFY(view.selectionModel()->selectedRows().isEmpty());  // a button does not select

    model.setData(cell, 0, TableViewDelegate::kButtonStateRole);  // disabled
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    QCOMPARE(edits.size(), 1);
}

void TestLibraryWidgets::filterRule_data()
{
    QTest::addColumn<int>("names");
    QTest::addColumn<bool>("everyKeystroke");
    QTest::newRow("1000 names") << 1000 << true;
    QTest::newRow("1001 names") << 1001 << false;
}

void TestLibraryWidgets::filterRule()
{
    QFETCH(int, names);
    QFETCH(bool, everyKeystroke);
    QStringList list;
    for (int i = 0; i < names; ++i) {
        list.append(QStringLiteral("Category %1").arg(i));
    }
    QStringListModel model(list);
    QLineEdit field;
    int applied = 0;
    auto* rule = new CategoryFilterRule(&field, &model, [&applied] { ++applied; });
    QCOMPARE(rule->FiltersOnEveryKeystroke(), everyKeystroke);
    QCOMPARE(field.completer(), rule->Completer());

    QTest::keyClicks(&field, QStringLiteral("ab"));
    QCOMPARE(applied, everyKeystroke ? 2 : 0);
    QTest::keyClick(&field, Qt::Key_Return);
    QCOMPARE(applied, everyKeystroke ? 2 : 1);
    field.clear();  // an emptied field applies at once in both modes
    QCOMPARE(applied, everyKeystroke ? 3 : 2);

    // One name more or less after a reload switches the mode.
    list.append(QStringLiteral("one more"));
    if (everyKeystroke) {
        model.setStringList(list);
    } else {
        list = list.mid(2);
        model.setStringList(list);
    }
    rule->Rewire();
    QCOMPARE(rule->FiltersOnEveryKeystroke(), list.size() <= 1000);
}

// Applying a text shows the matches expanded without a selection; the same text again changes
// nothing; an emptied field folds the tree back to its expanded top row.
void TestLibraryWidgets::filterRuleAppliesToTree()
{
    QStandardItemModel categories;
    auto* top = new QStandardItem(QStringLiteral("Root"));
    auto* alpha = new QStandardItem(QStringLiteral("Alpha"));
    alpha->appendRow(new QStandardItem(QStringLiteral("Beta")));
    top->appendRow(alpha);
    top->appendRow(new QStandardItem(QStringLiteral("Gamma")));
    categories.appendRow(top);
    QSortFilterProxyModel proxy;
    proxy.setRecursiveFilteringEnabled(true);
    proxy.setFilterCaseSensitivity(Qt::CaseInsensitive);
    proxy.setSourceModel(&categories);
    QTreeView view;
    view.setModel(&proxy);
    QStringListModel names;
    QLineEdit field;
    auto* rule = new CategoryFilterRule(&field, &names, [] {});
    const QModelIndex root = proxy.index(0, 0);
    view.setCurrentIndex(root);

    field.setText(QStringLiteral("beta"));
    QVERIFY(rule->ApplyTo(&proxy, &view));
    QVERIFY(!rule->ApplyTo(&proxy, &view));
    QCOMPARE(proxy.rowCount(root), 1);
    QVERIFY(view.isExpanded(proxy.index(0, 0, root)));
    QVERIFY(!view.selectionModel()->hasSelection());

    field.clear();
    QVERIFY(rule->ApplyTo(&proxy, &view));
    QCOMPARE(proxy.rowCount(root), 2);
    QVERIFY(view.isExpanded(root));
    QVERIFY(!view.isExpanded(proxy.index(0, 0, root)));
}

void TestLibraryWidgets::copyCodeHoldsVid()
{
    CopyCodeDialog dialog(QStringLiteral("1d3e5a7c9b0000000000000000000042_7"));
    const QString code = dialog.PlainCode();
    QVERIFY(code.contains(QStringLiteral("vid: \"1d3e5a7c9b0000000000000000000042_7\"")));
    QVERIFY(!code.contains(QStringLiteral("{{vid}}")));
    QVERIFY(code.contains(QStringLiteral("<div id=\"player\"></div>")));
    QVERIFY(code.contains(QStringLiteral("kavroPlayer({")));
    QVERIFY(CopyCodeDialog::CodeHtml(QStringLiteral("x"), QStringLiteral("Consolas"))
                .contains(QStringLiteral("font-family:Consolas;")));
}

QTEST_MAIN(TestLibraryWidgets)
#include "tst_library_widgets.moc"

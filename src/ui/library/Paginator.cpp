#include "ui/library/Paginator.h"

#include <algorithm>

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "ui/common/ComboBoxHelper.h"
#include "ui/common/StyleSheet.h"

namespace {

const char* const kNumberNames[] = {"firstBtn", "secondBtn", "thirdBtn", "fourthBtn", "fifthBtn"};
constexpr int kWindow = 5;

QPushButton* MakeButton(QWidget* parent, const char* name, bool checkable)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setCheckable(checkable);
    button->setFocusPolicy(Qt::NoFocus);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

}  // namespace

Paginator::Paginator(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("paginator"));
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    contentWidget = new QWidget(this);
    contentWidget->setObjectName(QStringLiteral("contentWidget"));
    outer->addWidget(contentWidget);
    auto* layout = new QHBoxLayout(contentWidget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);

    previousBtn = MakeButton(contentWidget, "previousBtn", false);
    layout->addWidget(previousBtn);
    for (int i = 0; i < kWindow; ++i) {
        QPushButton* button = MakeButton(contentWidget, kNumberNames[i], true);
        numberButtons.append(button);
        layout->addWidget(button);
        connect(button, &QPushButton::clicked, this, [this, i] { OnNumberClicked(i); });
    }
    nextBtn = MakeButton(contentWidget, "nextBtn", false);
    layout->addWidget(nextBtn);

    auto* jumpToStr = new QLabel(tr("Paginator.JumpTo"), contentWidget);
    jumpToStr->setObjectName(QStringLiteral("jumpToStr"));
    layout->addSpacing(8);
    layout->addWidget(jumpToStr);
    pageComboBox = new QComboBox(contentWidget);
    pageComboBox->setObjectName(QStringLiteral("pageComboBox"));
    pageComboBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    pageComboBox->setMaxVisibleItems(12);
    layout->addWidget(pageComboBox);
    auto* pageStr = new QLabel(tr("Paginator.Pages"), contentWidget);
    pageStr->setObjectName(QStringLiteral("PageStr"));
    layout->addWidget(pageStr);
    totalPage = new QLabel(contentWidget);
    totalPage->setObjectName(QStringLiteral("totalPage"));
    layout->addWidget(totalPage);
    pageSizeComboBox = new QComboBox(contentWidget);
    pageSizeComboBox->setObjectName(QStringLiteral("pageSizeComboBox"));
    for (int size : {20, 50, 100}) {
        pageSizeComboBox->addItem(tr("%1/Page").arg(size), size);
    }
    pageSizeComboBox->setCurrentIndex(-1);
    layout->addWidget(pageSizeComboBox);
    ComboBoxHelper::Instance()->Install(pageComboBox);
    ComboBoxHelper::Instance()->Install(pageSizeComboBox);
    contentWidget->hide();

    connect(previousBtn, &QPushButton::clicked, this, [this] {
        Redraw();
        emit SignalPageChanged(current - 1, pageSize);
    });
    connect(nextBtn, &QPushButton::clicked, this, [this] {
        Redraw();
        emit SignalPageChanged(current + 1, pageSize);
    });
    connect(pageComboBox, &QComboBox::textActivated, this, &Paginator::OnPageActivated);
    connect(pageSizeComboBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &Paginator::OnPageSizeChanged);

    setStyleSheet(StyleSheet::Load(QStringLiteral("Paginator.qss")));
    connect(StyleSheet::Notifier(), &StyleSheet::SignalReloadQss, this, [this] {
        setStyleSheet(styleSheet().isEmpty() ? StyleSheet::Load(QStringLiteral("Paginator.qss"))
                                             : QString());
    });
}

qulonglong Paginator::WindowStart(qulonglong current, qulonglong total)
{
    if (total <= kWindow) {
        return 1;
    }
    return std::max(std::min(total - 2, current), qulonglong(3)) - 2;
}

void Paginator::SetPages(qulonglong newCurrent, qulonglong newTotal, qulonglong newPageSize)
{
    if (newCurrent == 0 || newTotal == 0 || newPageSize == 0) {
        return;
    }
    current = newCurrent;
    total = newTotal;
    pageSize = newPageSize;
    contentWidget->show();
    Redraw();
}

void Paginator::Redraw()
{
    if (current == 0) {
        return;
    }
    QList<QObject*> blocked = {previousBtn, nextBtn, pageComboBox, pageSizeComboBox};
    for (QPushButton* button : numberButtons) {
        blocked.append(button);
    }
    for (QObject* object : blocked) {
        object->blockSignals(true);
    }
    previousBtn->setEnabled(current > 1);
    nextBtn->setEnabled(current < total);
    const qulonglong first = WindowStart(current, total);
    for (int i = 0; i < kWindow; ++i) {
        const qulonglong number = first + qulonglong(i);
        QPushButton* button = numberButtons.at(i);
        button->setVisible(number <= total);
        button->setChecked(number == current);
        button->setText(QString::number(number));
    }
    if (total != qulonglong(pageComboBox->count())) {
        pageComboBox->clear();
        QStringList texts;
        texts.reserve(int(total));
        for (qulonglong page = 1; page <= total; ++page) {
            texts.append(QString::number(page));
        }
        pageComboBox->addItems(texts);
        totalPage->setText(tr("total %1 pages").arg(total));
    }
    if (current <= total) {
        pageComboBox->setCurrentIndex(int(current - 1));
    }
    pageSizeComboBox->setCurrentIndex(
        pageSizeComboBox->findData(qulonglong(pageSize), Qt::UserRole, Qt::MatchExactly));
    for (QObject* object : blocked) {
        object->blockSignals(false);
    }
}

void Paginator::SetPaginatorVisible(bool visible)
{
    contentWidget->setVisible(visible);
}

void Paginator::OnNumberClicked(int button)
{
    const qulonglong number = numberButtons.at(button)->text().toULongLong();
    Redraw();
    if (number != current) {
        emit SignalPageChanged(number, pageSize);
    }
}

void Paginator::OnPageActivated(const QString& text)
{
    const qulonglong number = text.toULongLong();
    Redraw();
    if (number != current) {
        emit SignalPageChanged(number, pageSize);
    }
}

void Paginator::OnPageSizeChanged(int index)
{
    const qulonglong size = pageSizeComboBox->itemData(index).toULongLong();
    Redraw();
    if (size == 0 || (current == 1 && size == pageSize)) {
        return;
    }
    emit SignalPageChanged(1, size);
}

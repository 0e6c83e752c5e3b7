#include "ui/common/TitleBar.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSizeGrip>
#include <QStyle>
#include <QVBoxLayout>
#include <QVariant>
#include <QWindow>

#include "ui/common/UiResources.h"

namespace {

const char kNormalGeometryProperty[] = "windowNormalGeometry";

QPushButton* MakeButton(const QString& name, const QString& toolTip, QWidget* parent)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(name);
    button->setToolTip(toolTip);
    button->setFocusPolicy(Qt::NoFocus);
    button->setCursor(Qt::ArrowCursor);
    return button;
}

void Repolish(QWidget* widget)
{
    widget->style()->unpolish(widget);
    widget->style()->polish(widget);
}

}  // namespace

TitleBar::TitleBar(QWidget* parent) : QWidget(parent)
{
    UiResources::Init();
    setAttribute(Qt::WA_StyledBackground);

    titleWidget = new QWidget(this);
    titleWidget->setObjectName(QStringLiteral("titleWidget"));
    titleWidget->setAttribute(Qt::WA_StyledBackground);
    titleLabel = new QLabel(titleWidget);
    titleLabel->setObjectName(QStringLiteral("titleLabel"));

    controlWidget = new QWidget(titleWidget);
    controlWidget->setObjectName(QStringLiteral("controlWidget"));
    auto* controlLayout = new QHBoxLayout(controlWidget);
    controlLayout->setContentsMargins(0, 0, 0, 0);
    controlLayout->setSpacing(4);
    minimumBtn = MakeButton(QStringLiteral("minimumBtn"), tr("Minimum"), controlWidget);
    maximumBtn = MakeButton(QStringLiteral("maximumBtn"), tr("Maximum"), controlWidget);
    maximumBtn->setCheckable(true);
    closeBtn = MakeButton(QStringLiteral("closeBtn"), tr("Close"), controlWidget);
    controlLayout->addWidget(minimumBtn);
    controlLayout->addWidget(maximumBtn);
    controlLayout->addWidget(closeBtn);

    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    outer->addWidget(titleWidget);
    titleLayout = new QHBoxLayout(titleWidget);
    RebuildLayout();

    connect(minimumBtn, &QPushButton::clicked, this, [this] {
        if (host) {
            host->showMinimized();
        }
    });
    connect(closeBtn, &QPushButton::clicked, this, [this] {
        if (host) {
            host->close();
        }
    });
    connect(maximumBtn, &QPushButton::clicked, this, &TitleBar::ToggleMaximized);

    SetHost(parent ? parent->window() : nullptr);
}

void TitleBar::SetHost(QWidget* newHost)
{
    if (host == newHost) {
        return;
    }
    if (host) {
        host->removeEventFilter(this);
        disconnect(titleConnection);
    }
    host = newHost;
    delete sizeGrip;
    sizeGrip = nullptr;
    if (!host) {
        return;
    }
    host->installEventFilter(this);
    sizeGrip = new QSizeGrip(host);
    sizeGrip->setObjectName(QStringLiteral("sizeGrip"));
    SetTitle(QString());
    UpdateSizeGrip();
}

void TitleBar::SetTitle(const QString& text)
{
    disconnect(titleConnection);
    if (!text.isEmpty() || !host) {
        titleLabel->setText(text);
        return;
    }
    titleLabel->setText(host->windowTitle());
    titleConnection = connect(host, &QWidget::windowTitleChanged, titleLabel, &QLabel::setText);
}

QString TitleBar::Title() const
{
    return titleLabel->text();
}

void TitleBar::SetMinimumButtonVisible(bool visible)
{
    showMinimum = visible;
    UpdateButtonVisibility();
}

void TitleBar::SetMaximumButtonVisible(bool visible)
{
    showMaximum = visible;
    UpdateButtonVisibility();
}

void TitleBar::SetCloseButtonVisible(bool visible)
{
    showClose = visible;
    UpdateButtonVisibility();
}

void TitleBar::SetWhiteBackground(bool white)
{
    for (QPushButton* button : {minimumBtn, maximumBtn, closeBtn}) {
        button->setProperty("WhiteBackground", QVariant(white));
        Repolish(button);
    }
}

void TitleBar::SetCustomWidget(QWidget* widget)
{
    if (customWidget && customWidget != widget) {
        customWidget->hide();
        customWidget->setParent(nullptr);
        customWidget->deleteLater();
    }
    customWidget = widget;
    if (customWidget) {
        customWidget->setParent(titleWidget);
    }
    RebuildLayout();
}

void TitleBar::SetBottomLine(bool on)
{
    bottomLine = on;
    Repolish(this);
}

void TitleBar::RebuildLayout()
{
    while (titleLayout->count() > 0) {
        delete titleLayout->takeAt(0);
    }
    titleLayout->setContentsMargins(0, 0, 0, 0);
    titleLayout->setSpacing(0);
    if (customWidget) {
        titleLabel->hide();
        titleLayout->addWidget(customWidget, 1);
        customWidget->show();
    } else {
        titleLabel->show();
        titleLayout->addWidget(titleLabel, 0, Qt::AlignVCenter);
        titleLayout->addStretch(1);
    }
    titleLayout->addWidget(controlWidget, 0, Qt::AlignVCenter);
}

void TitleBar::ToggleMaximized(bool maximize)
{
    if (!host) {
        return;
    }
    if (maximize) {
        host->setProperty(kNormalGeometryProperty, host->normalGeometry());
        host->showMaximized();
        maximumBtn->setToolTip(tr("Restore"));
    } else {
        host->showNormal();
        maximumBtn->setToolTip(tr("Maximum"));
    }
    maximumBtn->setChecked(maximize);
}

bool TitleBar::HostResizable() const
{
    return host && !host->windowFlags().testFlag(Qt::MSWindowsFixedSizeDialogHint) &&
           host->minimumSize() != host->maximumSize();
}

void TitleBar::UpdateButtonVisibility()
{
    const Qt::WindowFlags flags = host ? host->windowFlags() : Qt::WindowFlags();
    minimumBtn->setVisible(showMinimum && flags.testFlag(Qt::WindowMinimizeButtonHint));
    maximumBtn->setVisible(showMaximum && flags.testFlag(Qt::WindowMaximizeButtonHint));
    closeBtn->setVisible(showClose && flags.testFlag(Qt::WindowCloseButtonHint));
}

void TitleBar::UpdateSizeGrip()
{
    if (!sizeGrip || !host) {
        return;
    }
    if (host->isMaximized() || !HostResizable()) {
        sizeGrip->hide();
        return;
    }
    const QSize size = sizeGrip->sizeHint();
    sizeGrip->setGeometry(host->width() - size.width(), host->height() - size.height(),
                          size.width(), size.height());
    sizeGrip->raise();
    sizeGrip->show();
}

bool TitleBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == host) {
        switch (event->type()) {
            case QEvent::WindowStateChange: {
                const bool maximized = host->isMaximized();
                maximumBtn->setChecked(maximized);
                maximumBtn->setToolTip(maximized ? tr("Restore") : tr("Maximum"));
                UpdateSizeGrip();
                break;
            }
            case QEvent::Resize:
            case QEvent::Show:
                UpdateSizeGrip();
                break;
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TitleBar::showEvent(QShowEvent* event)
{
    UpdateButtonVisibility();
    QWidget::showEvent(event);
}

void TitleBar::mousePressEvent(QMouseEvent* event)
{
    QWidget::mousePressEvent(event);
    if (event->button() != Qt::LeftButton || !moveEnabled || !host) {
        return;
    }
    if (host->isMaximized()) {
        // Dragging a maximised window restores it, centred under the pointer at its old size.
        const QRect normal = host->property(kNormalGeometryProperty).toRect();
        const QPoint pointer = event->globalPos();
        const int offsetY = event->pos().y();
        ToggleMaximized(false);
        if (normal.isValid()) {
            host->setGeometry(pointer.x() - normal.width() / 2, pointer.y() - offsetY,
                              normal.width(), normal.height());
        }
    }
    QWindow* window = host->windowHandle();
    if (window && window->startSystemMove()) {
        return;
    }
    dragging = true;
    dragOffset = event->globalPos() - host->frameGeometry().topLeft();
}

void TitleBar::mouseMoveEvent(QMouseEvent* event)
{
    if (dragging && host && (event->buttons() & Qt::LeftButton)) {
        host->move(event->globalPos() - dragOffset);
    }
    QWidget::mouseMoveEvent(event);
}

void TitleBar::mouseReleaseEvent(QMouseEvent* event)
{
    dragging = false;
    QWidget::mouseReleaseEvent(event);
}

void TitleBar::mouseDoubleClickEvent(QMouseEvent* event)
{
    QWidget::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && doubleClickMaximize && host &&
        host->windowFlags().testFlag(Qt::WindowMaximizeButtonHint) && maximumBtn->isVisible()) {
        ToggleMaximized(!host->isMaximized());
    }
}

QVBoxLayout* TitleBar::AddDialogFrame(QWidget* dialog)
{
    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(1, 1, 1, 24);
    layout->setSpacing(0);
    auto* titleBar = new TitleBar(dialog);
    titleBar->setObjectName(QStringLiteral("titleBar"));
    titleBar->setFixedHeight(48);
    titleBar->SetMinimumButtonVisible(false);
    titleBar->SetMaximumButtonVisible(false);
    layout->addWidget(titleBar);
    return layout;
}

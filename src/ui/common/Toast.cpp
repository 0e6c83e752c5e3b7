#include "ui/common/Toast.h"

#include <QDebug>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPropertyAnimation>
#include <QScreen>
#include <QStyle>
#include <QTimer>

#include "ui/common/StyleSheet.h"
#include "ui/common/UiResources.h"

Toast::Toast(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint)
{
    UiResources::Init();
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_DeleteOnClose);
    setStyleSheet(StyleSheet::Load(QStringLiteral("Toast.qss")));
    resize(320, 40);

    container = new QWidget(this);
    container->setObjectName(QStringLiteral("container"));
    container->setAttribute(Qt::WA_StyledBackground);
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(container);

    auto* layout = new QHBoxLayout(container);
    layout->setContentsMargins(16, 10, 16, 10);
    layout->setSpacing(8);
    icon = new QLabel(container);
    icon->setObjectName(QStringLiteral("icon"));
    icon->setFixedSize(16, 16);
    msg = new QLabel(container);
    msg->setObjectName(QStringLiteral("msg"));
    layout->addStretch(1);
    layout->addWidget(icon);
    layout->addWidget(msg);
    layout->addStretch(1);

    hideTimer = new QTimer(this);
    hideTimer->setSingleShot(true);
    hideTimer->setInterval(kAutoHideDelayMs);
    connect(hideTimer, &QTimer::timeout, this, [this] {
        auto* fade = new QPropertyAnimation(this, "windowOpacity", this);
        fade->setDuration(kFadeDurationMs);
        fade->setStartValue(1.0);
        fade->setEndValue(0.0);
        connect(fade, &QPropertyAnimation::finished, this, &QWidget::close);
        fade->start(QAbstractAnimation::DeleteWhenStopped);
    });
    SetType(0);
}

void Toast::SetText(const QString& text)
{
    msg->setText(text);
    // Grow with the text, never below the initial size.
    const QSize hint = sizeHint();
    resize(qMax(320, hint.width()), qMax(40, hint.height()));
}

QString Toast::Text() const
{
    return msg->text();
}

void Toast::SetType(int type)
{
    const QString value = type == 1 ? QStringLiteral("warning") : QString();
    for (QWidget* widget : {container, static_cast<QWidget*>(icon), static_cast<QWidget*>(msg)}) {
        widget->setProperty("type", value);
        widget->style()->unpolish(widget);
        widget->style()->polish(widget);
    }
}

void Toast::StartAutoHide()
{
    hideTimer->start();
}

void Toast::showEvent(QShowEvent* event)
{
    Place();
    QWidget::showEvent(event);
}

void Toast::Place()
{
    if (alignment == Qt::Alignment()) {
        return;
    }
    QRect area;
    if (QWidget* parent = parentWidget()) {
        area = QRect(parent->mapToGlobal(QPoint(0, 0)), parent->size());
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        area = screen->availableGeometry();
    } else {
        return;
    }
    QRect rect(QPoint(0, 0), size());
    if (alignment & (Qt::AlignHCenter | Qt::AlignVCenter)) {
        rect.moveCenter(area.center());
    }
    if (alignment & Qt::AlignLeft) {
        rect.moveLeft(area.left());
    }
    if (alignment & Qt::AlignTop) {
        rect.moveTop(area.top());
    }
    if (alignment & Qt::AlignRight) {
        rect.moveRight(area.right());
    }
    if (alignment & Qt::AlignBottom) {
        rect.moveBottom(area.bottom());
    }
    move(rect.topLeft());
}

QPointer<Toast> Toast::ShowToast(const QString& text, int type)
{
    auto* toast = new Toast(nullptr);
    toast->SetText(text);
    toast->SetType(type);
    toast->SetAlignment(Qt::AlignCenter);
    toast->show();
    toast->StartAutoHide();
    return toast;
}

QPointer<Toast> Toast::ShowToastInParent(QWidget* parent, const QString& text, int type,
                                         Qt::Alignment alignment, bool autoHide)
{
    if (!parent || !parent->isVisible()) {
        qDebug() << "ShowToastInParent parent is invisible, parent:" << parent;
        return nullptr;
    }
    auto* toast = new Toast(parent);
    toast->SetText(text);
    toast->SetType(type);
    toast->SetAlignment(alignment);
    toast->show();
    if (autoHide) {
        toast->StartAutoHide();
    }
    return toast;
}

#include "ui/library/SmoothScrollHelper.h"

#include <QAbstractScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>
#include <QtMath>

namespace {

constexpr int kStepIntervalMs = 10;
constexpr int kMaxSpeed = 100;

}  // namespace

SmoothScrollHelper::SmoothScrollHelper(QObject* parent) : QObject(parent) {}

bool SmoothScrollHelper::IsScrolling() const
{
    return (verticalTimer && verticalTimer->isActive()) ||
           (horizontalTimer && horizontalTimer->isActive());
}

void SmoothScrollHelper::setTarget(QAbstractScrollArea* target)
{
    if (target == area) {
        return;
    }
    if (area) {
        area->removeEventFilter(this);
        if (viewport) {
            viewport->removeEventFilter(this);
        }
    }
    for (QTimer* timer : {verticalTimer, horizontalTimer}) {
        if (timer) {
            timer->stop();
            timer->disconnect();
            timer->deleteLater();
        }
    }
    verticalTimer = nullptr;
    horizontalTimer = nullptr;
    area = target;
    viewport = target ? target->viewport() : nullptr;
    if (!area) {
        return;
    }
    area->installEventFilter(this);
    viewport->installEventFilter(this);
    verticalTimer = new QTimer(this);
    verticalTimer->setInterval(kStepIntervalMs);
    horizontalTimer = new QTimer(this);
    horizontalTimer->setInterval(kStepIntervalMs);
    QTimer* vertical = verticalTimer;
    QTimer* horizontal = horizontalTimer;
    connect(vertical, &QTimer::timeout, this,
            [this, vertical] { Step(area ? area->verticalScrollBar() : nullptr, vertical); });
    connect(horizontal, &QTimer::timeout, this,
            [this, horizontal] { Step(area ? area->horizontalScrollBar() : nullptr, horizontal); });
}

bool SmoothScrollHelper::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Wheel && area && (watched == area || watched == viewport)) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        const QPoint delta = wheel->angleDelta();
        if (delta.y() != 0) {
            Wheel(delta.y(), area->verticalScrollBar(), verticalTimer);
        } else if (delta.x() != 0) {
            Wheel(delta.x(), area->horizontalScrollBar(), horizontalTimer);
        }
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void SmoothScrollHelper::Wheel(int delta, QScrollBar* bar, QTimer* timer)
{
    const double share = totalSteps > 0 ? double(stepsLeft) / double(totalSteps) : 0.0;
    const int carry = totalSteps > 0 ? int(share * share * speed) : 0;
    if (delta < 0) {
        speed = carry - (speed < 1 ? 8 : 12);
    } else {
        speed = carry + (speed >= 0 ? 8 : 12);
    }
    speed = qBound(-kMaxSpeed, speed, kMaxSpeed);
    totalSteps = int(std::sqrt(double(qAbs(speed)))) * 5;
    stepsLeft = totalSteps;
    if ((delta < 0 && bar->value() >= bar->maximum()) ||
        (delta > 0 && bar->value() <= bar->minimum())) {
        Reset(timer);
        if (delta < 0) {
            emit ScrollToEnd();
        } else {
            emit ScrollToBegin();
        }
        return;
    }
    timer->start();
}

void SmoothScrollHelper::Step(QScrollBar* bar, QTimer* timer)
{
    if (bar && stepsLeft > 0) {
        --stepsLeft;
        const double share = double(stepsLeft) / double(totalSteps);
        const int step = int(share * share * speed);
        if ((step >= 1 && bar->value() > bar->minimum()) ||
            (step < 0 && bar->value() < bar->maximum())) {
            bar->setValue(bar->value() - step);
            return;
        }
    }
    Reset(timer);
}

void SmoothScrollHelper::Reset(QTimer* timer)
{
    speed = 0;
    stepsLeft = 0;
    totalSteps = 0;
    if (timer) {
        timer->stop();
    }
}

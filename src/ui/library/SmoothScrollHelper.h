#pragma once

#include <QObject>
#include <QPointer>

class QAbstractScrollArea;
class QScrollBar;
class QTimer;

// Smooth wheel scrolling for the client's tables: a wheel turn sets a speed that decays over a
// few 10 ms steps, and quick turns in the same direction carry part of the remaining speed.
class SmoothScrollHelper : public QObject
{
    Q_OBJECT

public:
    explicit SmoothScrollHelper(QObject* parent = nullptr);

    void setTarget(QAbstractScrollArea* area);

    int Speed() const { return speed; }
    int StepsLeft() const { return stepsLeft; }
    int TotalSteps() const { return totalSteps; }
    bool IsScrolling() const;

signals:
    void ScrollToBegin();
    void ScrollToEnd();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Wheel(int delta, QScrollBar* bar, QTimer* timer);
    void Step(QScrollBar* bar, QTimer* timer);
    void Reset(QTimer* timer);

    QPointer<QAbstractScrollArea> area;
    QPointer<QWidget> viewport;
    QTimer* verticalTimer = nullptr;
    QTimer* horizontalTimer = nullptr;
    int stepsLeft = 0;
    int speed = 0;
    int totalSteps = 0;
};

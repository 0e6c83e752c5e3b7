#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;
class QTimer;

// A short notice that appears over a window and fades out after two seconds. Type 1 is a
// warning, anything else information; alignment places it relative to its parent (160: centred
// horizontally at the parent's top edge).
class Toast : public QWidget
{
    Q_OBJECT

public:
    explicit Toast(QWidget* parent = nullptr);

    void SetText(const QString& text);
    QString Text() const;
    void SetType(int type);
    void SetAlignment(Qt::Alignment value) { alignment = value; }
    void StartAutoHide();

    static QPointer<Toast> ShowToast(const QString& text, int type);
    static QPointer<Toast> ShowToastInParent(QWidget* parent, const QString& text, int type = 1,
                                             Qt::Alignment alignment = Qt::AlignTop |
                                                                       Qt::AlignVCenter,
                                             bool autoHide = true);

    static constexpr int kAutoHideDelayMs = 2000;
    static constexpr int kFadeDurationMs = 500;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Place();

    QWidget* container = nullptr;
    QLabel* icon = nullptr;
    QLabel* msg = nullptr;
    QTimer* hideTimer = nullptr;
    Qt::Alignment alignment;
};

#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QPushButton;

// Gives a button three icons (normal, hover, pressed) and keeps the pressed icon while the
// button's menu is open.
class QPushButtonIconHelper : public QObject
{
    Q_OBJECT

public:
    QPushButtonIconHelper(QPushButton* button, const QString& normalIcon, const QString& hoverIcon,
                          const QString& pressedIcon);

    // Applies "Button.qss" followed by the button's own style sheet, now and on every
    // StyleSheet::SignalReloadQss.
    static void ApplyButtonStyleSheet(QPushButton* button, const QString& ownStyleSheet);

    QString CurrentIcon() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void UpdateIcon();

    QPointer<QPushButton> button;
    QString normalIcon;
    QString hoverIcon;
    QString pressedIcon;
    bool hovered = false;
    bool menuOpen = false;
};

#include "ui/common/QPushButtonIconHelper.h"

#include <QEvent>
#include <QIcon>
#include <QMenu>
#include <QPushButton>

#include "ui/common/StyleSheet.h"
#include "ui/common/UiResources.h"

QPushButtonIconHelper::QPushButtonIconHelper(QPushButton* button, const QString& normalIcon,
                                             const QString& hoverIcon, const QString& pressedIcon)
    : QObject(button),
      button(button),
      normalIcon(normalIcon),
      hoverIcon(hoverIcon),
      pressedIcon(pressedIcon)
{
    UiResources::Init();
    button->installEventFilter(this);
    connect(button, &QPushButton::pressed, this, [this] {
        if (this->button && this->button->menu()) {
            menuOpen = true;
            UpdateIcon();
        }
    });
    if (QMenu* menu = button->menu()) {
        menu->installEventFilter(this);
    }
    UpdateIcon();
}

void QPushButtonIconHelper::ApplyButtonStyleSheet(QPushButton* button, const QString& ownStyleSheet)
{
    const auto apply = [button, ownStyleSheet] {
        button->setStyleSheet(StyleSheet::Load(QStringLiteral("Button.qss")) + ownStyleSheet);
    };
    apply();
    QObject::connect(StyleSheet::Notifier(), &StyleSheet::SignalReloadQss, button, apply);
}

QString QPushButtonIconHelper::CurrentIcon() const
{
    if (menuOpen) {
        return pressedIcon;
    }
    return hovered ? hoverIcon : normalIcon;
}

void QPushButtonIconHelper::UpdateIcon()
{
    if (button) {
        button->setIcon(QIcon(CurrentIcon()));
    }
}

bool QPushButtonIconHelper::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == button) {
        if (event->type() == QEvent::Enter) {
            hovered = true;
            UpdateIcon();
        } else if (event->type() == QEvent::Leave) {
            hovered = false;
            UpdateIcon();
        }
    } else if (button && watched == button->menu() && event->type() == QEvent::Hide) {
        menuOpen = false;
        UpdateIcon();
    }
    return QObject::eventFilter(watched, event);
}

#include "ui/common/CommonWidgetAction.h"

#include <QMenu>
#include <QPushButton>

CommonWidgetAction::CommonWidgetAction(const QString& objectName, const QString& text,
                                       std::function<void()> callback, QMenu* parent)
    : QWidgetAction(parent), name(objectName), label(text), callback(std::move(callback))
{
    setObjectName(objectName);
    setText(text);
    connect(this, &QAction::triggered, this, [this] {
        if (this->callback) {
            this->callback();
        }
    });
}

QWidget* CommonWidgetAction::createWidget(QWidget* parent)
{
    auto* button = new QPushButton(label, parent);
    button->setObjectName(name);
    button->setFocusPolicy(Qt::NoFocus);
    button->setMinimumHeight(40);
    button->setCursor(Qt::PointingHandCursor);
    connect(button, &QPushButton::clicked, this, [this] {
        // Close the menu first so a dialog opened by the callback is not behind the popup.
        if (auto* menu = qobject_cast<QMenu*>(parentWidget())) {
            menu->hide();
        }
        trigger();
    });
    return button;
}

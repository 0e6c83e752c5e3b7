#include "ui/common/TextContentMenuEventFilter.h"

#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>

TextContentMenuEventFilter::TextContentMenuEventFilter(QObject* parent) : QObject(parent) {}

bool TextContentMenuEventFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ContextMenu) {
        if (auto* lineEdit = qobject_cast<QLineEdit*>(watched)) {
            QMenu* menu = lineEdit->createStandardContextMenu();
            menu->setObjectName(QStringLiteral("textContextMenu"));
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu->setWindowFlag(Qt::NoDropShadowWindowHint);
            menu->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

#include "ui/transfer/DropToUploadEventFilter.h"

#include <QDebug>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QWidget>

DropToUploadEventFilter::DropToUploadEventFilter(QWidget* widget,
                                                 std::function<void(QList<QUrl>)> callback)
    : QObject(widget), callback(std::move(callback))
{
    widget->setAcceptDrops(true);
    widget->installEventFilter(this);
}

bool DropToUploadEventFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::DragEnter) {
        auto* enter = static_cast<QDragEnterEvent*>(event);
        if (enter->mimeData() && enter->mimeData()->hasFormat(QStringLiteral("text/uri-list"))) {
            enter->acceptProposedAction();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
    if (event->type() == QEvent::DragMove) {
        auto* move = static_cast<QDragMoveEvent*>(event);
        if (move->mimeData() && move->mimeData()->hasFormat(QStringLiteral("text/uri-list"))) {
            move->acceptProposedAction();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
    if (event->type() == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        const QMimeData* data = drop->mimeData();
        if (data && data->hasUrls() && !data->urls().isEmpty()) {
            if (callback) {
                callback(data->urls());
            }
        } else {
            qWarning() << "acceptProposedAction of DragEnterEvent, but mimeData hasUrls() is false"
                       << "or urls() or urls() is empty, other info:" << event
                       << (data ? data->text() : QString());
        }
        drop->acceptProposedAction();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

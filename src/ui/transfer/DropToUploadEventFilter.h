#pragma once

#include <functional>

#include <QList>
#include <QObject>
#include <QUrl>

class QWidget;

// Makes a widget accept dropped files ("text/uri-list") and hands their URLs to a callback.
// Parented to the widget, so it lives as long as the widget does.
class DropToUploadEventFilter : public QObject
{
    Q_OBJECT

public:
    DropToUploadEventFilter(QWidget* widget, std::function<void(QList<QUrl>)> callback);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void(QList<QUrl>)> callback;
};

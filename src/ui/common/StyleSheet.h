#pragma once

#include <QObject>
#include <QString>

// The style sheets of the windows, read from "themes/" beside the executable, and the one
// notice that they were reloaded. Depends on nothing above ui/common.
class StyleSheet : public QObject
{
    Q_OBJECT

public:
    // The text of themes/<fileName>; empty (and a warning) when it cannot be read.
    static QString Load(const QString& fileName);

    // Announces SignalReloadQss; widgets that set a sheet once connect to it to set it again.
    static StyleSheet* Notifier();

signals:
    void SignalReloadQss();

private:
    using QObject::QObject;
};

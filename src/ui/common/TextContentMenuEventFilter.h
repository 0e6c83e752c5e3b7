#pragma once

#include <QObject>

// Opens the standard edit menu of a line edit as a frameless popup (the style sheet's menu
// look, no drop shadow) instead of Qt's default menu.
class TextContentMenuEventFilter : public QObject
{
    Q_OBJECT

public:
    explicit TextContentMenuEventFilter(QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

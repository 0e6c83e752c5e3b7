#pragma once

#include <functional>

#include <QWidgetAction>

class QMenu;

// One row of the title-bar menus: a full-width flat button (object name for the style sheet)
// whose click triggers the action and runs the callback.
class CommonWidgetAction : public QWidgetAction
{
    Q_OBJECT

public:
    CommonWidgetAction(const QString& objectName, const QString& text,
                       std::function<void()> callback, QMenu* parent);

protected:
    QWidget* createWidget(QWidget* parent) override;

private:
    QString name;
    QString label;
    std::function<void()> callback;
};

#include "ui/transfer/PostTaskMenu.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QDebug>
#include <QLabel>
#include <QMouseEvent>
#include <QRadioButton>
#include <QWidgetAction>

namespace {

QString Text(const char* key)
{
    return QCoreApplication::translate("TransferListWidget", key);
}

}  // namespace

PostTaskMenu::PostTaskMenu(QWidget* parent) : QMenu(parent)
{
    setObjectName(QStringLiteral("postTaskMenu"));
    setTitle(Text(QT_TRANSLATE_NOOP("TransferListWidget", "MainWindow.AfterUploadFinish")));
    setWindowFlags(Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    auto* titleAction = new QWidgetAction(this);
    auto* title = new QLabel(
        Text(QT_TRANSLATE_NOOP("TransferListWidget", "MainWindow.AfterUploadFinish")), this);
    title->setObjectName(QStringLiteral("postTaskTitle"));
    titleAction->setDefaultWidget(title);
    addAction(titleAction);
    for (QRadioButton* button :
         {AddRow("postTaskShutdown",
                 Text(QT_TRANSLATE_NOOP("TransferListWidget", "MainWindow.PostTaskShutdown")),
                 Shutdown),
          AddRow("postTaskSleep",
                 Text(QT_TRANSLATE_NOOP("TransferListWidget", "MainWindow.PostTaskSleep")), Sleep),
          AddRow("postTaskQuit",
                 Text(QT_TRANSLATE_NOOP("TransferListWidget", "MainWindow.PostTaskQuit")), Quit),
          AddRow("postTaskNothing",
                 Text(QT_TRANSLATE_NOOP("TransferListWidget", "MainWindow.PostTaskNoPostTask")),
                 Nothing)}) {
        group->addButton(button);
    }
    SetChoice(Nothing);
}

QRadioButton* PostTaskMenu::AddRow(const char* name, const QString& text, Choice value)
{
    auto* button = new QRadioButton(text, this);
    button->setObjectName(QLatin1String(name));
    button->setMinimumHeight(40);
    button->setProperty("choice", int(value));
    auto* action = new QWidgetAction(this);
    action->setDefaultWidget(button);
    addAction(action);
    buttons.append(button);
    connect(button, &QRadioButton::toggled, this, [this, value, text](bool checked) {
        if (checked && choice != value) {
            choice = value;
            qInfo().noquote() << "post task:" << text;
            emit SignalChoiceChanged(value);
        }
    });
    return button;
}

void PostTaskMenu::SetChoice(Choice value)
{
    for (QRadioButton* button : buttons) {
        if (button->property("choice").toInt() == int(value)) {
            button->setChecked(true);
        }
    }
    choice = value;
}

void PostTaskMenu::mouseReleaseEvent(QMouseEvent* event)
{
    // A click on the menu's own area (margins, title) keeps it open.
    if (rect().contains(event->pos())) {
        event->accept();
        return;
    }
    QMenu::mouseReleaseEvent(event);
}

void PostTaskMenu::showEvent(QShowEvent* event)
{
    QMenu::showEvent(event);
    if (QWidget* button = parentWidget()) {
        move(button->mapToGlobal(QPoint(button->width() - width(), button->height() + 4)));
    }
}

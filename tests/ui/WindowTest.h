#pragma once

// Shared by the window tests: children by object name, the tips (toasts) a window shows, answers
// to the next modal dialog or message box, and the client's Chinese texts.
#include <functional>

#include <QApplication>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTimer>
#include <QTranslator>

#include "ui/common/MsgBox.h"
#include "ui/common/Toast.h"

template <typename T = QWidget>
T* Child(QObject* parent, const char* name)
{
    return parent ? parent->findChild<T*>(QLatin1String(name)) : nullptr;
}

// Texts of the toasts shown over widget's window so far.
inline QStringList Toasts(QWidget* widget)
{
    QStringList texts;
    for (Toast* toast : widget->window()->findChildren<Toast*>()) {
        texts.append(toast->Text());
    }
    return texts;
}

// The text of the newest toast shown directly over widget, empty when none is there.
inline QString LastTip(QWidget* widget)
{
    const QList<Toast*> toasts =
        widget->findChildren<Toast*>(QString(), Qt::FindDirectChildrenOnly);
    return toasts.isEmpty() ? QString() : toasts.last()->Text();
}

// Runs act on the next modal window of type T once it is up (the caller then opens it).
template <typename T>
void OnNextModal(const std::function<void(T*)>& act)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto* modal = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(modal);
        }
    });
    timer->start(50);
}

// Clicks button in the next message box; counts the boxes answered in *seen.
inline void AnswerNextBox(QDialogButtonBox::StandardButton button, int* seen = nullptr)
{
    OnNextModal<MsgBox>([button, seen](MsgBox* box) {
        if (seen) {
            ++*seen;
        }
        box->findChild<QDialogButtonBox*>()->button(button)->click();
    });
}

// Loads the built zh_CN.qm from the staged build, as the application does at start.
inline bool InstallChinese()
{
    static QTranslator translator;
    const QString folder =
        qEnvironmentVariable("KAVRO_STAGE_DIR") + QStringLiteral("/translations");
    return translator.load(QStringLiteral("zh_CN"), folder) &&
           QCoreApplication::installTranslator(&translator);
}

#pragma once

// Shared by the edit and batch-search window tests: the client's Chinese texts, and the tip a
// widget showed last.
#include <QCoreApplication>
#include <QTranslator>
#include <QWidget>

#include "ui/common/Toast.h"

namespace EditTest {

// Loads the built zh_CN.qm from the staged build, as the application does at start.
inline bool InstallChinese()
{
    static QTranslator translator;
    const QString folder =
        qEnvironmentVariable("KAVRO_STAGE_DIR") + QStringLiteral("/translations");
    return translator.load(QStringLiteral("zh_CN"), folder) &&
           QCoreApplication::installTranslator(&translator);
}

// The text of the newest toast shown over widget, empty when none is there.
inline QString LastTip(QWidget* widget)
{
    const QList<Toast*> toasts =
        widget->findChildren<Toast*>(QString(), Qt::FindDirectChildrenOnly);
    return toasts.isEmpty() ? QString() : toasts.last()->Text();
}

// Closes every toast of widget, so the next check sees only new ones.
inline void ClearTips(QWidget* widget)
{
    for (Toast* toast : widget->findChildren<Toast*>(QString(), Qt::FindDirectChildrenOnly)) {
        delete toast;
    }
}

}  // namespace EditTest

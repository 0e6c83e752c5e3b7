#include "ui/common/LineEditProxyStyle.h"

#include <QFontMetrics>
#include <QIcon>
#include <QLineEdit>
#include <QStyleFactory>

#include "ui/common/TextContentMenuEventFilter.h"
#include "ui/common/UiResources.h"

LineEditProxyStyle::LineEditProxyStyle()
    : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion")))
{
    UiResources::Init();
}

int LineEditProxyStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                                    const QWidget* widget) const
{
    if (metric == QStyle::PM_SmallIconSize && qobject_cast<const QLineEdit*>(widget)) {
        const QVariant size = widget->property("actionIconPixelMetric");
        if (size.isValid()) {
            return size.toInt();
        }
        return widget->fontMetrics().height();
    }
    return QProxyStyle::pixelMetric(metric, option, widget);
}

QIcon LineEditProxyStyle::standardIcon(StandardPixmap standardIcon, const QStyleOption* option,
                                       const QWidget* widget) const
{
    if (standardIcon == QStyle::SP_LineEditClearButton) {
        return QIcon(QStringLiteral(":/image/videoList/icon_lineedit_clear_normal.svg"));
    }
    return QProxyStyle::standardIcon(standardIcon, option, widget);
}

void LineEditProxyStyle::Fit(QLineEdit* lineEdit)
{
    auto* style = new LineEditProxyStyle;
    style->setParent(lineEdit);
    lineEdit->setStyle(style);
    lineEdit->installEventFilter(new TextContentMenuEventFilter(lineEdit));
}

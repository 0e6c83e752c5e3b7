#pragma once

#include <QProxyStyle>

class QLineEdit;

// The style of line edits with trailing actions: action icons sized by the widget's property
// "actionIconPixelMetric" (else its font height) and the client's own clear-button icon.
class LineEditProxyStyle : public QProxyStyle
{
    Q_OBJECT

public:
    LineEditProxyStyle();

    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;

    // Fits a line edit with the text context menu and this style (owned by the line edit).
    static void Fit(QLineEdit* lineEdit);
};

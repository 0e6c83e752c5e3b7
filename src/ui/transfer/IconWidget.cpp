#include "ui/transfer/IconWidget.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QVariant>

IconWidget::IconWidget(const QString& text, QWidget* parent) : QWidget(parent)
{
    iconLabel = new QLabel(this);
    iconLabel->setObjectName(QStringLiteral("iconLabel"));
    iconLabel->setFixedSize(16, 16);
    iconLabel->setPixmap(
        QIcon(QStringLiteral(":/image/transferList/icon_file_video.svg")).pixmap(16, 16));
    nameLabel = new QLabel(this);
    nameLabel->setObjectName(QStringLiteral("nameLabel"));
    nameLabel->setMinimumWidth(40);
    nameLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(16, 0, 8, 0);
    layout->setSpacing(8);
    layout->addWidget(iconLabel);
    layout->addWidget(nameLabel, 1);
    SetText(text);
}

void IconWidget::SetText(const QString& text)
{
    nameLabel->setProperty("originalText", text);
    Elide();
}

QString IconWidget::Text() const
{
    return nameLabel->property("originalText").toString();
}

void IconWidget::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Elide();
}

void IconWidget::Elide()
{
    const QString text = Text();
    const QString elided =
        nameLabel->fontMetrics().elidedText(text, Qt::ElideRight, nameLabel->width() - 2);
    nameLabel->setText(elided);
    nameLabel->setToolTip(elided == text ? QString() : text);
}

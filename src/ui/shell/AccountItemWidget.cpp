#include "ui/shell/AccountItemWidget.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVariant>

AccountItemWidget::AccountItemWidget(const QString& account, bool deletable, QWidget* parent)
    : QWidget(parent), account(account), deletable(deletable)
{
    setAttribute(Qt::WA_Hover);
    setAttribute(Qt::WA_StyledBackground);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addSpacing(12);
    accountLabel = new QLabel(this);
    accountLabel->setObjectName(QStringLiteral("accountLabel"));
    accountLabel->setMinimumWidth(1);
    layout->addWidget(accountLabel, 1);
    if (deletable) {
        auto* box = new QWidget(this);
        box->setObjectName(QStringLiteral("delBox"));
        box->setFixedSize(32, 32);
        auto* boxLayout = new QHBoxLayout(box);
        boxLayout->setContentsMargins(12, 12, 12, 12);
        delBtn = new QPushButton(box);
        delBtn->setObjectName(QStringLiteral("delBtn"));
        delBtn->setFixedSize(8, 8);
        delBtn->setToolTip(tr("Delete"));
        delBtn->setFocusPolicy(Qt::NoFocus);
        delBtn->setCursor(Qt::PointingHandCursor);
        delBtn->hide();
        boxLayout->addWidget(delBtn);
        layout->addWidget(box);
        connect(delBtn, &QPushButton::clicked, this, &AccountItemWidget::AccountDelete);
    }
    ElideAccount();
}

bool AccountItemWidget::event(QEvent* event)
{
    if (event->type() == QEvent::HoverEnter) {
        SetHighlighted(true);
    } else if (event->type() == QEvent::HoverLeave) {
        SetHighlighted(false);
    }
    return QWidget::event(event);
}

void AccountItemWidget::SetHighlighted(bool highlighted)
{
    setProperty("highlighted", QVariant(highlighted));
    style()->unpolish(this);
    style()->polish(this);
    if (delBtn) {
        delBtn->setVisible(highlighted);
    }
}

void AccountItemWidget::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    ElideAccount();
}

void AccountItemWidget::ElideAccount()
{
    const QString elided =
        accountLabel->fontMetrics().elidedText(account, Qt::ElideRight, accountLabel->width());
    accountLabel->setText(elided);
    accountLabel->setToolTip(elided == account ? QString() : account);
}

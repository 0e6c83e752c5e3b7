#include "ui/shell/UserInfoWidget.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QStyle>

#include "app/Format.h"

namespace {

constexpr int kAccountWidth = 254;

}  // namespace

UserInfoWidget::UserInfoWidget(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("userInfoWidget"));
    setAttribute(Qt::WA_StyledBackground);
    setFocusPolicy(Qt::NoFocus);
    setMinimumWidth(278);
    setMaximumWidth(302);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(16, 16, 16, 14);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(8);
    accountLabel = new QLabel(this);
    accountLabel->setObjectName(QStringLiteral("userAccountLabel"));
    accountLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    expiredLabel = new QLabel(this);
    expiredLabel->setObjectName(QStringLiteral("expiredTimeLabel"));
    expiredLabel->setTextFormat(Qt::RichText);
    spaceBar = new QProgressBar(this);
    spaceBar->setObjectName(QStringLiteral("spaceProgressBar"));
    spaceBar->setTextVisible(false);
    spaceBar->setRange(0, 100);
    spaceBar->setFixedHeight(8);
    spaceLabel = new QLabel(this);
    spaceLabel->setObjectName(QStringLiteral("spaceLabel"));

    grid->addWidget(accountLabel, 0, 0, 1, 2);
    grid->addWidget(expiredLabel, 1, 0, 1, 2);
    grid->addWidget(spaceBar, 2, 0, 1, 2);
    grid->addWidget(spaceLabel, 3, 0, 1, 2);
}

int UserInfoWidget::UsedPercent(qint64 remainBytes, quint64 space)
{
    if (space == 0) {
        return 0;
    }
    if (remainBytes >= 0 && quint64(remainBytes) > space) {
        return 100;
    }
    const double used = double(space) - double(remainBytes);
    return int(used / double(space) * 100.0);
}

void UserInfoWidget::SetUserInfo(const Info& info)
{
    const QString elided =
        accountLabel->fontMetrics().elidedText(info.account, Qt::ElideRight, kAccountWidth);
    accountLabel->setText(elided);
    accountLabel->setToolTip(elided == info.account ? QString() : info.account);

    const QString date = QDateTime::fromMSecsSinceEpoch(qint64(info.expirationTime))
                             .toString(QStringLiteral("yyyy-MM-dd"));
    const QString expiry =
        info.expired
            ? QCoreApplication::translate("MainWindowTitleWidget", "%1 (Expired)").arg(date)
            : QCoreApplication::translate(
                  "MainWindowTitleWidget",
                  "%1 (Remaining <span style=color:rgb(255,87,34);>%2</span> days)")
                  .arg(date)
                  .arg(info.leftDay);
    expiredLabel->setText(QCoreApplication::translate("MainWindowTitleWidget", "Expired Time:") +
                          expiry);

    const bool overflow =
        info.space > 0 && info.remainBytes >= 0 && quint64(info.remainBytes) > info.space;
    spaceBar->setValue(UsedPercent(info.remainBytes, info.space));
    spaceBar->setProperty("style", overflow ? QStringLiteral("error") : QString());
    spaceBar->style()->unpolish(spaceBar);
    spaceBar->style()->polish(spaceBar);

    const quint64 used = quint64(qMax<qint64>(0, qint64(info.space) - info.remainBytes));
    spaceLabel->setText(
        QStringLiteral("%1/%2").arg(FormatSize(used, 4), FormatSize(info.space, 4)));
}

void UserInfoWidget::mousePressEvent(QMouseEvent* event)
{
    // Swallowed so that a click on the account data does not close the menu.
    event->accept();
}

void UserInfoWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
}

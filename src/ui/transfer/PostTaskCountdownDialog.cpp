#include "ui/transfer/PostTaskCountdownDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/common/StyleSheet.h"
#include "ui/common/TitleBar.h"

PostTaskCountdownDialog::PostTaskCountdownDialog(PostTaskMenu::Choice choice, int seconds,
                                                 QWidget* parent)
    : QDialog(parent), choice(choice), secondsLeft(seconds)
{
    setObjectName(QStringLiteral("PostTaskCountdownDialog"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(StyleSheet::Load(QStringLiteral("MessageBox.qss")));
    setWindowTitle(tr("SystemTip"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 24);
    layout->setSpacing(0);
    auto* titleBar = new TitleBar(this);
    titleBar->setFixedHeight(48);
    titleBar->SetHost(this);
    titleBar->SetMinimumButtonVisible(false);
    titleBar->SetMaximumButtonVisible(false);
    layout->addWidget(titleBar);
    textLabel = new QLabel(this);
    textLabel->setObjectName(QStringLiteral("msgLabel"));
    textLabel->setAlignment(Qt::AlignCenter);
    textLabel->setWordWrap(true);
    textLabel->setMinimumSize(360, 96);
    textLabel->setContentsMargins(32, 16, 32, 16);
    layout->addWidget(textLabel);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    auto* nowButton = new QPushButton(tr("PostTask.Now"), this);
    nowButton->setObjectName(QStringLiteral("nowButton"));
    auto* cancelButton = new QPushButton(tr("PostTask.Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    cancelButton->setProperty("Style", QStringLiteral("blue"));
    cancelButton->setDefault(true);
    buttons->addStretch(1);
    buttons->addWidget(nowButton);
    buttons->addWidget(cancelButton);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(nowButton, &QPushButton::clicked, this, [this] {
        timer->stop();
        emit SignalElapsed();
        accept();
    });
    timer = new QTimer(this);
    timer->setInterval(1000);
    connect(timer, &QTimer::timeout, this, &PostTaskCountdownDialog::Tick);
    Refresh();
    if (secondsLeft <= 0) {
        QTimer::singleShot(0, this, [this] {
            emit SignalElapsed();
            accept();
        });
    } else {
        timer->start();
    }
}

void PostTaskCountdownDialog::Tick()
{
    --secondsLeft;
    Refresh();
    if (secondsLeft <= 0) {
        timer->stop();
        emit SignalElapsed();
        accept();
    }
}

void PostTaskCountdownDialog::Refresh()
{
    QString text;
    switch (choice) {
        case PostTaskMenu::Shutdown:
            text = tr("PostTask.ShutdownIn %1");
            break;
        case PostTaskMenu::Sleep:
            text = tr("PostTask.SleepIn %1");
            break;
        default:
            text = tr("PostTask.QuitIn %1");
            break;
    }
    textLabel->setText(text.arg(qMax(secondsLeft, 0)));
}

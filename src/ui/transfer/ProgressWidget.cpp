#include "ui/transfer/ProgressWidget.h"

#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QStyle>
#include <QVariant>

#include "upload/UploadStatus.h"

ProgressWidget::ProgressWidget(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ProgressWidget"));
    uploadBar = new QProgressBar(this);
    uploadBar->setObjectName(QStringLiteral("uploadBar"));
    uploadBar->setRange(0, 100);
    uploadBar->setValue(0);
    uploadBar->setTextVisible(false);
    uploadBar->setFixedHeight(4);
    stateLabel = new QLabel(this);
    stateLabel->setObjectName(QStringLiteral("stateLabel"));
    percentLabel = new QLabel(this);
    percentLabel->setObjectName(QStringLiteral("percentLabel"));
    percentLabel->setMinimumWidth(32);
    speedLabel = new QLabel(this);
    speedLabel->setObjectName(QStringLiteral("speedLabel"));
    timesLabel = new QLabel(this);
    timesLabel->setObjectName(QStringLiteral("timesLabel"));
    timesLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    errorLabel = new QLabel(this);
    errorLabel->setObjectName(QStringLiteral("errorLabel"));
    errorLabel->hide();

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->setHorizontalSpacing(10);
    layout->setVerticalSpacing(6);
    layout->addWidget(uploadBar, 0, 0, 1, 4);
    layout->addWidget(stateLabel, 1, 0);
    layout->addWidget(percentLabel, 1, 0);
    layout->addWidget(speedLabel, 1, 1);
    layout->addWidget(timesLabel, 1, 3);
    layout->addWidget(errorLabel, 1, 0, 1, 4);
    layout->setColumnStretch(2, 1);
}

void ProgressWidget::Init(int status, qint64 upload, qint64 total, const QString& errorText)
{
    totalBytes = total;
    uploadBytes = upload;
    OnStatus(status);
    SetPercent(upload, total);
    if (status == Invalid) {
        ShowError(errorText);
    }
}

QString ProgressWidget::SpeedText(int kbps)
{
    if (kbps >= 1024) {
        return QStringLiteral("%1%2").arg(QString::number(kbps / 1024.0, 'f', 2),
                                          QStringLiteral("MB/S"));
    }
    return QStringLiteral("%1%2").arg(kbps).arg(QStringLiteral("KB/S"));
}

QString ProgressWidget::TimeLeftText(qint64 remainingBytes, int kbps)
{
    if (kbps > 0) {
        const qint64 seconds = (qMax<qint64>(remainingBytes, 0) / 1024) / kbps;
        if (seconds < 86400) {
            return QStringLiteral("%1:%2:%3")
                .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
                .arg(seconds % 3600 / 60, 2, 10, QLatin1Char('0'))
                .arg(seconds % 60, 2, 10, QLatin1Char('0'));
        }
    }
    return tr("OverOneDay");
}

int ProgressWidget::WindowSpeed(const QVector<qint64>& samples)
{
    if (samples.isEmpty()) {
        return 0;
    }
    qint64 sum = 0;
    for (qint64 sample : samples) {
        sum += sample;
    }
    return int(sum / (qint64(samples.size()) * 1024));
}

void ProgressWidget::Refresh()
{
    if (!uploading) {
        return;
    }
    const qint64 delta = byteCounter - lastCounter;
    lastCounter = byteCounter;
    window.append(delta);
    while (window.size() > kSpeedWindow) {
        window.removeFirst();
    }
    speed = WindowSpeed(window);
    speedLabel->setText(SpeedText(speed));
    timesLabel->setText(TimeLeftText(totalBytes - uploadBytes, speed));
}

void ProgressWidget::OnProgress(int increment, qlonglong upload, qlonglong total)
{
    if (!uploading || total <= 0) {
        return;
    }
    byteCounter += increment;
    totalBytes = total;
    uploadBytes = upload;
    SetPercent(upload, total);
}

void ProgressWidget::OnStatus(int status)
{
    if (status == Uploading) {
        uploading = true;
        speedLabel->clear();
        stateLabel->clear();
        percentLabel->show();
    } else {
        uploading = false;
        ClearCounters();
        percentLabel->hide();
        switch (status) {
            case Waiting:
                stateLabel->setText(tr("Waiting"));
                break;
            case Paused:
                stateLabel->setText(tr("Pause"));
                break;
            case Stopped:
                stateLabel->setText(tr("Stoped"));
                break;
            default:
                break;  // Failed and Invalid: the error label tells
        }
    }
    setProperty("status", status);
    SetBarStyle(status == Failed || status == Invalid ? QStringLiteral("error") : QString());
    errorLabel->hide();
    timesLabel->show();
}

void ProgressWidget::OnResult(bool success, QString desc)
{
    if (success) {
        return;  // the row leaves with its task
    }
    uploading = false;
    ClearCounters();
    stateLabel->clear();
    percentLabel->hide();
    SetBarStyle(QStringLiteral("error"));
    ShowError(desc);
}

void ProgressWidget::SetBarStyle(const QString& style)
{
    // A style sheet polish costs more than the rest of a status change: only on a change.
    if (uploadBar->property("style").toString() == style) {
        return;
    }
    uploadBar->setProperty("style", style);
    uploadBar->style()->unpolish(uploadBar);
    uploadBar->style()->polish(uploadBar);
}

void ProgressWidget::ClearCounters()
{
    byteCounter = 0;
    lastCounter = 0;
    speed = 0;
    window.clear();
    speedLabel->clear();
    timesLabel->clear();
}

void ProgressWidget::ShowError(const QString& text)
{
    const QString elided = errorLabel->fontMetrics().elidedText(text, Qt::ElideRight, kErrorWidth);
    errorLabel->setText(elided);
    errorLabel->setToolTip(elided == text ? QString() : text);
    errorLabel->show();
    timesLabel->hide();
}

void ProgressWidget::SetPercent(qint64 upload, qint64 total)
{
    if (total <= 0) {
        percentLabel->clear();
        return;
    }
    const int percent = int(double(upload) / double(total) * 100);
    uploadBar->setValue(percent);
    percentLabel->setText(QStringLiteral("%1%").arg(percent));
}

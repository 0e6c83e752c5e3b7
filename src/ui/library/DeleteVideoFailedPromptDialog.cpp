#include "ui/library/DeleteVideoFailedPromptDialog.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <QVariant>

#include "ui/common/StyleSheet.h"
#include "ui/common/TitleBar.h"

namespace {

constexpr int kMargin = 24;

}  // namespace

DeleteVideoFailedPromptDialog::DeleteVideoFailedPromptDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("DeleteVideoFailedPromptDialog"));
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_StyledBackground);
    setWindowTitle(tr("DeleteVideoFailedPromptDialog.Title"));
    setStyleSheet(StyleSheet::Load(QStringLiteral("VideoListWidget.qss")));
    setMinimumSize(400, 240);
    setMaximumSize(560, 500);
    resize(400, 240);

    QVBoxLayout* layout = TitleBar::AddDialogFrame(this);

    scrollArea = new QScrollArea(this);
    scrollArea->setObjectName(QStringLiteral("scrollArea"));
    scrollArea->setStyleSheet(
        QStringLiteral("QScrollArea#scrollArea {margin: %1px;}").arg(kMargin));
    scrollArea->setWidgetResizable(true);
    scrollArea->setFrameShape(QFrame::NoFrame);
    scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    msgLabelArea = new QWidget(scrollArea);
    msgLabelArea->setObjectName(QStringLiteral("msgLabelArea"));
    msgLayout = new QVBoxLayout(msgLabelArea);
    msgLayout->setContentsMargins(0, 0, 0, 0);
    msgLayout->setSpacing(8);
    summaryLabel = new QLabel(msgLabelArea);
    summaryLabel->setObjectName(QStringLiteral("summaryLabel"));
    msgLayout->addWidget(summaryLabel);
    msgLayout->addStretch(1);
    scrollArea->setWidget(msgLabelArea);
    msgLabelArea->installEventFilter(this);
    layout->addWidget(scrollArea, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* ok = new QPushButton(tr("Ok"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setProperty("Style", QStringLiteral("blue"));
    ok->setMinimumWidth(96);
    buttons->addWidget(ok);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void DeleteVideoFailedPromptDialog::AddFailure(const QString& video, const QString& message)
{
    ++count;
    summaryLabel->setText(
        tr("Delete <span style='color: #FF4646'>%1</span> videos Failed").arg(count));
    auto* label = new QLabel(QStringLiteral("%1 <span style='color: #FF4646'>%2</span>")
                                 .arg(video.toHtmlEscaped(), message.toHtmlEscaped()),
                             msgLabelArea);
    label->setObjectName(QStringLiteral("msgLabel"));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    const QMargins margins = layout()->contentsMargins();
    label->setMaximumWidth(maximumWidth() - (2 * kMargin + 12) - margins.left() - margins.right());
    msgLayout->insertWidget(msgLayout->count() - 1, label);
}

QString DeleteVideoFailedPromptDialog::Summary() const
{
    return summaryLabel->text();
}

QStringList DeleteVideoFailedPromptDialog::Lines() const
{
    QStringList lines;
    for (QLabel* label : msgLabelArea->findChildren<QLabel*>(QStringLiteral("msgLabel"))) {
        lines.append(label->text());
    }
    return lines;
}

bool DeleteVideoFailedPromptDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == msgLabelArea && event->type() == QEvent::Resize) {
        // The content's own wish, not its current width: the content follows the scroll area,
        // so growing the area by the content's width would grow the content again, without
        // end. Never beyond what the dialog's greatest width leaves for it.
        const QMargins margins = layout()->contentsMargins();
        const int room = maximumWidth() - margins.left() - margins.right();
        const int wanted = msgLabelArea->sizeHint().width() + 2 * (kMargin + 6);
        scrollArea->setMinimumWidth(qMin(room, qMax(scrollArea->minimumWidth(), wanted)));
    }
    return QDialog::eventFilter(watched, event);
}

void DeleteVideoFailedPromptDialog::showEvent(QShowEvent* event)
{
    adjustSize();
    if (QWidget* owner = parentWidget()) {
        const QRect area(owner->mapToGlobal(QPoint(0, 0)), owner->size());
        QRect geometry = frameGeometry();
        geometry.moveCenter(area.center());
        move(geometry.topLeft());
    }
    QDialog::showEvent(event);
}

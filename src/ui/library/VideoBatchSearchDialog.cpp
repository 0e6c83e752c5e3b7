#include "ui/library/VideoBatchSearchDialog.h"

#include <QDebug>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "models/VidRule.h"
#include "platform/ShowInFolder.h"
#include "ui/common/StyleSheet.h"
#include "ui/common/TitleBar.h"
#include "ui/common/Toast.h"
#include "ui/library/VidTextBrowser.h"

namespace {

QString DocumentsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

// The import dialog starts in the documents folder, then where the user last was.
QString& ImportFolder()
{
    static QString folder;
    return folder;
}

}  // namespace

VideoBatchSearchDialog::VideoBatchSearchDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("VideoBatchSearchDialog"));
    setWindowTitle(tr("Batch Search Vids"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setAttribute(Qt::WA_StyledBackground);
    setAcceptDrops(true);
    setStyleSheet(StyleSheet::Load(QStringLiteral("System.qss")) +
                  StyleSheet::Load(QStringLiteral("TitleBar.qss")) +
                  StyleSheet::Load(QStringLiteral("VideoBatchSearchDialog.qss")));
    setFixedSize(600, 480);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    titleBar = new TitleBar(this);
    titleBar->setObjectName(QStringLiteral("titleWidget"));
    titleBar->SetHost(this);
    titleBar->SetMinimumButtonVisible(false);
    titleBar->SetMaximumButtonVisible(false);
    titleBar->SetBottomLine(true);
    layout->addWidget(titleBar);

    auto* body = new QWidget(this);
    body->setObjectName(QStringLiteral("bodyWidget"));
    auto* bodyLayout = new QVBoxLayout(body);
    bodyLayout->setContentsMargins(24, 16, 24, 8);
    bodyLayout->setSpacing(10);
    auto* tools = new QHBoxLayout;
    tools->setSpacing(12);
    countLabel = new QLabel(body);
    countLabel->setObjectName(QStringLiteral("countLabel"));
    importButton = new QPushButton(tr("Import"), body);
    importButton->setObjectName(QStringLiteral("importButton"));
    downloadButton = new QPushButton(tr("Download Template"), body);
    downloadButton->setObjectName(QStringLiteral("downloadButton"));
    tools->addWidget(countLabel, 1);
    tools->addWidget(importButton);
    tools->addWidget(downloadButton);
    bodyLayout->addLayout(tools);
    vidTextBrowser = new VidTextBrowser(body);
    vidTextBrowser->setObjectName(QStringLiteral("vidTextBrowser"));
    bodyLayout->addWidget(vidTextBrowser, 1);
    auto* hint = new QLabel(tr("Batch Search Hint"), body);
    hint->setObjectName(QStringLiteral("hintLabel"));
    hint->setWordWrap(true);
    bodyLayout->addWidget(hint);
    layout->addWidget(body, 1);

    auto* buttons = new QWidget(this);
    buttons->setObjectName(QStringLiteral("buttonWidget"));
    auto* buttonsLayout = new QHBoxLayout(buttons);
    buttonsLayout->setContentsMargins(24, 12, 24, 20);
    buttonsLayout->setSpacing(16);
    buttonsLayout->addStretch(1);
    cancelButton = new QPushButton(tr("Cancel"), buttons);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    queryButton = new QPushButton(tr("Query"), buttons);
    queryButton->setObjectName(QStringLiteral("queryButton"));
    queryButton->setProperty("Style", QStringLiteral("blue"));
    buttonsLayout->addWidget(cancelButton);
    buttonsLayout->addWidget(queryButton);
    layout->addWidget(buttons);
    for (QPushButton* button : {importButton, downloadButton, cancelButton, queryButton}) {
        button->setAutoDefault(false);
    }

    connect(vidTextBrowser, &VidTextBrowser::SignalCount, this, &VideoBatchSearchDialog::OnCount);
    QMetaObject::connectSlotsByName(this);
    OnCount(0);
}

QStringList VideoBatchSearchDialog::Vids() const
{
    return vidTextBrowser->Vids();
}

void VideoBatchSearchDialog::OnCount(int count)
{
    countLabel->setText(tr("Input Vid Count Tips").arg(count).arg(VidRule::kMaxVids - count));
}

void VideoBatchSearchDialog::Tip(const QString& text)
{
    Toast::ShowToastInParent(this, text);
}

void VideoBatchSearchDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    QWidget* host = parentWidget() ? parentWidget()->window() : nullptr;
    const QRect area = host       ? host->frameGeometry()
                       : screen() ? screen()->availableGeometry()
                                  : QRect();
    if (area.isValid()) {
        move(area.center() - rect().center());
    }
    vidTextBrowser->setFocus();
}

void VideoBatchSearchDialog::ImportFiles(const QStringList& paths)
{
    if (!paths.isEmpty()) {
        vidTextBrowser->ImportFiles(paths, true);
    }
}

void VideoBatchSearchDialog::on_importButton_clicked()
{
    QString& folder = ImportFolder();
    if (folder.isEmpty()) {
        folder = DocumentsFolder();
    }
    const QString filters =
        QStringList{QStringLiteral("%1 (%2)").arg(tr("AllVidFiles"), QStringLiteral("*.csv *.txt")),
                    QStringLiteral("%1 (%2)").arg(tr("CsvFiles"), QStringLiteral("*.csv")),
                    QStringLiteral("%1 (%2)").arg(tr("TxtFiles"), QStringLiteral("*.txt"))}
            .join(QStringLiteral(";;"));
    const QStringList paths = QFileDialog::getOpenFileNames(this, tr("Import"), folder, filters);
    if (paths.isEmpty()) {
        return;
    }
    folder = QFileInfo(paths.first()).absolutePath();
    ImportFiles(paths);
}

bool VideoBatchSearchDialog::WriteTemplate(const QString& path)
{
    QString error;
    if (!VidRule::WriteTemplateFile(path, &error)) {
        qWarning() << "write vid template failed:" << path << error;
        Tip(tr("Save Template Failed"));
        return false;
    }
    return true;
}

void VideoBatchSearchDialog::on_downloadButton_clicked()
{
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Save csv template file"),
        DocumentsFolder() + QStringLiteral("/kvr_template_vids.csv"),
        QStringLiteral("%1 (%2)").arg(tr("CsvFiles"), QStringLiteral("*.csv")));
    if (!path.isEmpty() && WriteTemplate(path)) {
        ShowInFolder(path);
    }
}

void VideoBatchSearchDialog::on_cancelButton_clicked()
{
    reject();
}

void VideoBatchSearchDialog::on_queryButton_clicked()
{
    vidTextBrowser->CommitTypedText();
    if (vidTextBrowser->Count() == 0) {
        Tip(tr("Vids Empty"));
        return;
    }
    accept();
}

void VideoBatchSearchDialog::DropFiles(const QList<QUrl>& urls)
{
    QStringList accepted;
    bool refused = false;
    for (const QUrl& url : urls) {
        const QFileInfo info(url.toLocalFile());
        const QString suffix = info.suffix();
        if (url.isLocalFile() && (suffix.compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0 ||
                                  suffix.compare(QLatin1String("txt"), Qt::CaseInsensitive) == 0)) {
            accepted.append(info.absoluteFilePath());
        } else {
            refused = true;
        }
    }
    if (refused) {
        Tip(tr("Drag File Error"));
    }
    ImportFiles(accepted);
}

void VideoBatchSearchDialog::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasFormat(QStringLiteral("text/uri-list"))) {
        event->acceptProposedAction();
    }
}

void VideoBatchSearchDialog::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->mimeData()->hasFormat(QStringLiteral("text/uri-list"))) {
        event->acceptProposedAction();
    }
}

void VideoBatchSearchDialog::dropEvent(QDropEvent* event)
{
    DropFiles(event->mimeData()->urls());
    event->acceptProposedAction();
}

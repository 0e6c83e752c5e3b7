#include "ui/transfer/OperationWidget.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>

#include "platform/ShowInFolder.h"
#include "store/DBManager.h"
#include "ui/common/MsgBox.h"
#include "ui/common/StatusButton.h"
#include "ui/common/Toast.h"
#include "upload/SDKManager.h"
#include "upload/UploadStatus.h"

namespace {

QPushButton* IconButton(const char* name, const QString& tip, QWidget* parent)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(tip);
    button->setFixedSize(16, 16);
    button->setCursor(Qt::PointingHandCursor);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

}  // namespace

OperationWidget::OperationWidget(Mode mode, const QString& vid, const QString& filePath,
                                 SDKManager& uploads, DBManager& database, QWidget* parent)
    : QWidget(parent),
      mode(mode),
      vid(vid),
      filePath(filePath),
      uploads(uploads),
      database(database)
{
    setObjectName(QStringLiteral("OperationWidget"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 0, 8, 0);
    layout->setSpacing(12);
    layout->addStretch(1);
    if (mode == UploadMode) {
        retryButton = IconButton("retryButton", tr("RetryUpload"), this);
        retryButton->hide();
        uploadButton = new StatusButton(QStringLiteral("uploadButton"), tr("StartUpload"),
                                        tr("StopUpload"), false, this);
        uploadButton->setFixedSize(16, 16);
        uploadButton->setCursor(Qt::PointingHandCursor);
        uploadButton->setFocusPolicy(Qt::NoFocus);
        deleteButton = IconButton("deleteButton", tr("Delete"), this);
        layout->addWidget(retryButton);
        layout->addWidget(uploadButton);
        layout->addWidget(deleteButton);
        // clicked, not toggled: only the user's click drives the queue, never a status update
        connect(uploadButton, &QPushButton::clicked, this, &OperationWidget::OnUploadToggled);
        connect(retryButton, &QPushButton::clicked, this, &OperationWidget::OnRetry);
        connect(deleteButton, &QPushButton::clicked, this, &OperationWidget::OnDelete);
    } else {
        openButton = IconButton("openButton", tr("OpenPath"), this);
        cleanupButton = IconButton("cleanupButton", tr("CleanUp"), this);
        layout->addWidget(openButton);
        layout->addWidget(cleanupButton);
        connect(openButton, &QPushButton::clicked, this, &OperationWidget::OnOpen);
        connect(cleanupButton, &QPushButton::clicked, this, &OperationWidget::OnCleanUp);
    }
    layout->addStretch(1);
}

void OperationWidget::Init(int status)
{
    OnStatus(status);
}

void OperationWidget::OnStatus(int status)
{
    if (mode != UploadMode) {
        return;
    }
    invalid = status == Invalid;
    uploadButton->setVisible(!invalid);
    uploadButton->setChecked(status == Waiting || status == Uploading);
    retryButton->hide();
}

void OperationWidget::OnResult(bool success, QString desc)
{
    Q_UNUSED(desc)
    if (mode != UploadMode || invalid) {
        return;
    }
    uploadButton->setVisible(success);
    retryButton->setVisible(!success);
}

void OperationWidget::OnDeleteResult(bool result, QString deletedVid)
{
    if (!result && deletedVid == vid) {
        Toast::ShowToastInParent(window(), tr("DeleteUploadTaskError"));
    }
}

void OperationWidget::OnUploadToggled(bool checked)
{
    uploads.StartTask(vid, checked);
}

void OperationWidget::OnRetry()
{
    uploads.StartTask(vid, true);
}

void OperationWidget::OnDelete()
{
    const QMessageBox::StandardButton answer =
        MsgBox::Info(this, tr("SystemTip"),
                     tr("The file has not been uploaded successfully. Are you sure you want to "
                        "cancel the upload?"),
                     QMessageBox::Ok | QMessageBox::Cancel);
    if (answer == QMessageBox::Ok) {
        uploads.DeleteTask(vid);
    }
}

void OperationWidget::OnOpen()
{
    ShowInFolder(filePath);
}

void OperationWidget::OnCleanUp()
{
    database.RemoveHistory(vid, true);
}

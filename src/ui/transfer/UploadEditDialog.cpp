#include "ui/transfer/UploadEditDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Format.h"
#include "models/UploadTableModel.h"
#include "ui/common/StyleSheet.h"
#include "ui/common/TitleBar.h"
#include "ui/common/Toast.h"
#include "upload/SDKManager.h"

UploadEditDialog::UploadEditDialog(const QString& title, const QString& description,
                                   const QString& tags, qint64 fileSize, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("UploadEditDialog"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(StyleSheet::Load(QStringLiteral("UploadDialog.qss")));
    setWindowTitle(tr("UploadEditDialog.Title"));
    setModal(true);
    resize(480, 360);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    auto* titleBar = new TitleBar(this);
    titleBar->SetHost(this);
    titleBar->SetMinimumButtonVisible(false);
    titleBar->SetMaximumButtonVisible(false);
    layout->addWidget(titleBar);

    auto* body = new QWidget(this);
    body->setObjectName(QStringLiteral("editBody"));
    auto* form = new QFormLayout(body);
    form->setContentsMargins(32, 20, 32, 24);
    form->setVerticalSpacing(12);
    form->setHorizontalSpacing(16);
    titleEdit = new QLineEdit(title, body);
    titleEdit->setObjectName(QStringLiteral("titleEdit"));
    titleEdit->setMaxLength(UploadTableModel::kMaxTitleLength);
    descriptionEdit = new QPlainTextEdit(description, body);
    descriptionEdit->setObjectName(QStringLiteral("descriptionEdit"));
    tagsEdit = new QLineEdit(tags, body);
    tagsEdit->setObjectName(QStringLiteral("tagsEdit"));
    tagsEdit->setPlaceholderText(tr("UploadEditDialog.TagsHint"));
    form->addRow(tr("UploadEditDialog.VideoTitle"), titleEdit);
    form->addRow(tr("UploadEditDialog.Description"), descriptionEdit);
    form->addRow(tr("UploadEditDialog.Tags"), tagsEdit);
    form->addRow(tr("UploadEditDialog.Size"), new QLabel(FormatSize(quint64(fileSize), 4), body));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, body);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    buttons->button(QDialogButtonBox::Ok)->setText(tr("OK"));
    buttons->button(QDialogButtonBox::Ok)->setProperty("Style", QStringLiteral("blue"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("Cancel"));
    form->addRow(buttons);
    layout->addWidget(body, 1);
    connect(buttons, &QDialogButtonBox::accepted, this, &UploadEditDialog::OnAccept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QString UploadEditDialog::Title() const
{
    return titleEdit->text().trimmed();
}

QString UploadEditDialog::Description() const
{
    return descriptionEdit->toPlainText();
}

QString UploadEditDialog::Tags() const
{
    return tagsEdit->text().trimmed();
}

void UploadEditDialog::OnAccept()
{
    if (Title().isEmpty() ||
        !SDKManager::CheckTextValid(QString(), Title(), Description(), Tags())) {
        Toast::ShowToastInParent(this, tr("UploadEditDialog.InvalidText"));
        return;
    }
    accept();
}

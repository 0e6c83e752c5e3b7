#include "ui/shell/AboutDialog.h"

#include <QGuiApplication>
#include <QMessageBox>

#include "ui/common/StyleSheet.h"
#include "ui/shell/ClientVersion.h"
#include "ui_AboutDialog.h"

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent), ui(new Ui::AboutDialog)
{
    ui->setupUi(this);
    setStyleSheet(StyleSheet::Load(QStringLiteral("AboutDialog.qss")));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::FramelessWindowHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setAttribute(Qt::WA_StyledBackground);  // the style sheet draws the window frame
    setAttribute(Qt::WA_DeleteOnClose);
    ui->titleWidget->SetHost(this);
    ui->titleWidget->SetBottomLine(false);
    ui->titleWidget->SetTitle(QStringLiteral(" "));

    ui->applicationNameLabel->setText(QGuiApplication::applicationDisplayName());
    ui->versionLabel->setText(tr("AboutDialog.Version:") + ClientVersion::kText);
    ui->copyrightLabel->setText(tr("AboutDialog.Copyright"));
    ui->copyrightLabel->setTextFormat(Qt::RichText);
    ui->copyrightLabel->setOpenExternalLinks(true);
    connect(ui->aboutQtButton, &QPushButton::clicked, this,
            [this] { QMessageBox::aboutQt(this, QString()); });
    connect(ui->okBtn, &QPushButton::clicked, this, &QDialog::close);
}

AboutDialog::~AboutDialog()
{
    delete ui;
}

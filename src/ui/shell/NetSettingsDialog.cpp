#include "ui/shell/NetSettingsDialog.h"

#include "app/Config.h"
#include "ui/common/ComboBoxHelper.h"
#include "ui/common/LineEditProxyStyle.h"
#include "ui/common/StyleSheet.h"
#include "ui/shell/ProxySettings.h"
#include "ui_NetSettingsDialog.h"

namespace {

const QString kGroup = QStringLiteral("NetWorkManager");

}  // namespace

NetSettingsDialog::NetSettingsDialog(Config& config, SDKManager& uploads, QWidget* parent)
    : QDialog(parent), config(config), uploads(uploads), ui(new Ui::NetSettingsDialog)
{
    ui->setupUi(this);
    setStyleSheet(StyleSheet::Load(QStringLiteral("PreferenceDialog.qss")));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::FramelessWindowHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setAttribute(Qt::WA_StyledBackground);  // the style sheet draws the window frame
    ui->titleWidget->SetHost(this);
    ui->titleWidget->SetBottomLine(true);

    ui->portLineedit->setValidator(ProxySettings::NewPortValidator(this));
    ComboBoxHelper::Instance()->Install(ui->proxyTypeComboBox);
    connect(ui->proxyTypeComboBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int index) {
                for (QLineEdit* edit : {ui->addressLineedit, ui->portLineedit, ui->usernameLineedit,
                                        ui->passwordLineedit}) {
                    edit->setEnabled(index != 0);
                }
            });
    connect(ui->Ok, &QPushButton::clicked, this, &NetSettingsDialog::OnApply);
    connect(ui->Cancel, &QPushButton::clicked, this, &QDialog::reject);
    Load();
    for (QLineEdit* edit : findChildren<QLineEdit*>()) {
        LineEditProxyStyle::Fit(edit);
    }
}

NetSettingsDialog::~NetSettingsDialog()
{
    delete ui;
}

void NetSettingsDialog::Load()
{
    const int type = config.Value(kGroup, QStringLiteral("proxyType")).toInt();
    ui->proxyTypeComboBox->setCurrentIndex(type);
    // The signal does not fire for index 0, the form's initial index.
    for (QLineEdit* edit :
         {ui->addressLineedit, ui->portLineedit, ui->usernameLineedit, ui->passwordLineedit}) {
        edit->setEnabled(ui->proxyTypeComboBox->currentIndex() != 0);
    }
    ui->addressLineedit->setText(config.Value(kGroup, QStringLiteral("proxyHostName")).toString());
    ui->portLineedit->setText(config.Value(kGroup, QStringLiteral("proxyPort")).toString());
    ui->usernameLineedit->setText(config.Value(kGroup, QStringLiteral("proxyUser")).toString());
    ui->passwordLineedit->setText(config.Value(kGroup, QStringLiteral("proxyPassword")).toString());
}

void NetSettingsDialog::OnApply()
{
    if (ProxySettings::Apply(config, uploads, ui->proxyTypeComboBox->currentIndex(),
                             ui->addressLineedit->text(), ui->portLineedit->text(),
                             ui->usernameLineedit->text(), ui->passwordLineedit->text(),
                             ui->settingsWidget, tr("NetSettingsDialog.HostIsEmpty!"))) {
        accept();
    }
}

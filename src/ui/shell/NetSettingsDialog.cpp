#include "ui/shell/NetSettingsDialog.h"

#include <QDebug>
#include <QFutureWatcher>
#include <QThreadPool>
#include <QtConcurrent>

#include "api/ApiProbe.h"
#include "api/ApiTransport.h"
#include "app/Config.h"
#include "ui/common/ComboBoxHelper.h"
#include "ui/common/LineEditProxyStyle.h"
#include "ui/common/StyleSheet.h"
#include "ui/common/Toast.h"
#include "ui/shell/ProxySettings.h"
#include "ui_NetSettingsDialog.h"

namespace {

const QString kGroup = QStringLiteral("NetWorkManager");
const QString kCustom = QStringLiteral("Custom");
const QString kPlatformUrl = QStringLiteral("platformUrl");

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
    ui->platformUrlLineedit->setText(config.Value(kCustom, kPlatformUrl).toString());
    ui->platformUrlLineedit->setPlaceholderText(ApiCollection::platformBaseUrl());
}

NetSettingsDialog::~NetSettingsDialog()
{
    probeAbort = true;
    for (auto* watcher : findChildren<QFutureWatcher<QString>*>()) {
        watcher->waitForFinished();
    }
    delete ui;
}

void NetSettingsDialog::OnApply()
{
    if (probing) {
        return;
    }
    const QString address = ui->platformUrlLineedit->text().trimmed();
    if (address == config.Value(kCustom, kPlatformUrl).toString()) {
        ApplyProxy();
        return;
    }
    if (address.isEmpty()) {
        config.Remove(kCustom, kPlatformUrl);
        ApplyProxy();
        return;
    }
    if (!ApiCollection::IsPlatformAddress(address)) {
        Toast::ShowToastInParent(ui->settingsWidget,
                                 tr("NetSettingsDialog.PlatformAddressNotHttps"), 1,
                                 Qt::AlignTop | Qt::AlignVCenter, true);
        return;
    }
    // A new address is saved only once a platform has answered there.
    probing = true;
    ui->Ok->setEnabled(false);
    auto* watcher = new QFutureWatcher<QString>(this);
    connect(watcher, &QFutureWatcher<QString>::finished, this, [this, watcher, address] {
        watcher->deleteLater();
        probing = false;
        ui->Ok->setEnabled(true);
        const QString error = watcher->result();
        if (!error.isNull()) {
            qWarning() << "platform address refused:" << address << error;
            Toast::ShowToastInParent(ui->settingsWidget,
                                     tr("NetSettingsDialog.PlatformUnreachable %1").arg(error), 1,
                                     Qt::AlignTop | Qt::AlignVCenter, true);
            return;
        }
        config.SetValue(kCustom, kPlatformUrl, address);
        ApplyProxy();
    });
    bool* abort = &probeAbort;
    watcher->setFuture(QtConcurrent::run(QThreadPool::globalInstance(), [address, abort] {
        QString error;
        return ApiCollection::ProbePlatform(address, abort, &error) == ApiCollection::NoError
                   ? QString()
                   : (error.isEmpty() ? QStringLiteral("?") : error);
    }));
}

void NetSettingsDialog::ApplyProxy()
{
    if (ProxySettings::Apply(config, uploads, ui->proxyTypeComboBox->currentIndex(),
                             ui->addressLineedit->text(), ui->portLineedit->text(),
                             ui->usernameLineedit->text(), ui->passwordLineedit->text(),
                             ui->settingsWidget, tr("NetSettingsDialog.HostIsEmpty!"))) {
        accept();
    }
}

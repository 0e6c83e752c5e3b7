#include "ui/shell/PreferenceDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QIntValidator>
#include <QKeyEvent>

#include "app/Config.h"
#include "app/NetworkSettings.h"
#include "platform/AutoStart.h"
#include "ui/common/ComboBoxHelper.h"
#include "ui/common/LineEditProxyStyle.h"
#include "ui/common/StyleSheet.h"
#include "ui/common/Toast.h"
#include "ui/shell/ProxySettings.h"
#include "ui_PreferenceDialog.h"
#include "upload/SDKManager.h"

namespace {

const QString kApplication = QStringLiteral("Application");
const QString kNetwork = QStringLiteral("NetWorkManager");
const QString kUpload = QStringLiteral("UploadTaskManager");
constexpr uint kMinSpeed = 100;
constexpr uint kMaxSpeed = 102400;

}  // namespace

PreferenceDialog::PreferenceDialog(Config& settings, SDKManager& uploads, QWidget* parent)
    : QDialog(parent), settings(settings), uploads(uploads), ui(new Ui::PreferenceDialog)
{
    ui->setupUi(this);
    // A window's own sheet outranks the application's: with System.qss repeated here, the
    // title bar rules must be repeated too, or the general button rules win over them.
    setStyleSheet(StyleSheet::Load(QStringLiteral("System.qss")) +
                  StyleSheet::Load(QStringLiteral("TitleBar.qss")) +
                  StyleSheet::Load(QStringLiteral("PreferenceDialog.qss")));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::FramelessWindowHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setAttribute(Qt::WA_StyledBackground);  // the style sheet draws the window frame
    ui->titleWidget->SetHost(this);
    ui->titleWidget->SetBottomLine(true);

    ui->portLineedit->setValidator(ProxySettings::NewPortValidator(this));
    ui->limitedSpeedValueLineEdit->setValidator(new QIntValidator(kMinSpeed, kMaxSpeed, this));
    ComboBoxHelper::Instance()->Install(ui->uploadTasksNumComboBox);
    ComboBoxHelper::Instance()->Install(ui->proxyTypeComboBox);
    for (QLineEdit* edit : findChildren<QLineEdit*>()) {
        LineEditProxyStyle::Fit(edit);
    }
    Load();
    Connect();
}

PreferenceDialog::~PreferenceDialog()
{
    delete ui;
}

void PreferenceDialog::Load()
{
    Config* config = &settings;
    if (!config) {
        return;
    }
    ui->openStartupCheckBox->setChecked(AutoStart::IsAutoStart());
    ui->autoUpdateCheckBox->setChecked(
        config->Value(kApplication, QStringLiteral("autoUpdate")).toBool());
    ui->optimizeCheckBox->setChecked(
        config->Value(kUpload, QStringLiteral("optimizeCoursewareSwitch")).toBool());
    const QString closeBehavior =
        config->Value(kApplication, QStringLiteral("closeBehavior")).toString();
    ui->hideCloseBehaviorRadioBtn->setChecked(closeBehavior == QLatin1String("hide"));
    ui->quitCloseBehaviorRadioBtn->setChecked(closeBehavior == QLatin1String("quit"));

    ui->uploadTasksNumComboBox->setCurrentText(
        QString::number(config->Value(kUpload, QStringLiteral("uploadTasksNum")).toInt()));
    ui->autoStartUploadCheckBox->setChecked(
        config->Value(kUpload, QStringLiteral("autoStartUpload")).toBool());
    const int speed = config->Value(kUpload, QStringLiteral("limitedSpeedValue")).toInt();
    const bool limited = speed >= int(kMinSpeed) && speed <= int(kMaxSpeed);
    ui->limitedSpeedRadioButton->setChecked(limited);
    ui->unlimitedSpeedRadioButton->setChecked(!limited);
    ui->limitedSpeedValueLineEdit->setText(limited ? QString::number(speed) : QString());
    ui->limitedSpeedValueLineEdit->setEnabled(limited);

    const int proxyType = config->Value(kNetwork, QStringLiteral("proxyType")).toInt();
    ui->proxyTypeComboBox->setCurrentIndex(proxyType);
    ui->addressLineedit->setText(
        config->Value(kNetwork, QStringLiteral("proxyHostName")).toString());
    ui->portLineedit->setText(config->Value(kNetwork, QStringLiteral("proxyPort")).toString());
    ui->usernameLineedit->setText(config->Value(kNetwork, QStringLiteral("proxyUser")).toString());
    ui->passwordLineedit->setText(
        config->Value(kNetwork, QStringLiteral("proxyPassword")).toString());
    SetProxyBoxesEnabled(ui->proxyTypeComboBox->currentIndex() != 0);
}

void PreferenceDialog::SetProxyBoxesEnabled(bool enabled)
{
    for (QWidget* widget :
         {static_cast<QWidget*>(ui->addressLineedit), static_cast<QWidget*>(ui->portLineedit),
          static_cast<QWidget*>(ui->usernameLineedit), static_cast<QWidget*>(ui->passwordLineedit),
          static_cast<QWidget*>(ui->applyProxyBtn)}) {
        widget->setEnabled(enabled);
    }
}

void PreferenceDialog::Connect()
{
    const auto write = [this](const QString& group, const char* key, const QVariant& value) {
        settings.SetValue(group, QString::fromLatin1(key), value);
    };

    connect(ui->openStartupCheckBox, &QCheckBox::stateChanged, this,
            [](int state) { AutoStart::UpdateAutoStart(state == Qt::Checked); });
    connect(ui->autoUpdateCheckBox, &QCheckBox::stateChanged, this,
            [write](int state) { write(kApplication, "autoUpdate", state == Qt::Checked); });
    connect(ui->optimizeCheckBox, &QCheckBox::stateChanged, this, [this, write](int state) {
        write(kUpload, "optimizeCoursewareSwitch", state == Qt::Checked);
        uploads.ApplyQueueSettings();
    });
    connect(ui->hideCloseBehaviorRadioBtn, &QRadioButton::clicked, this,
            [write] { write(kApplication, "closeBehavior", QStringLiteral("hide")); });
    connect(ui->quitCloseBehaviorRadioBtn, &QRadioButton::clicked, this,
            [write] { write(kApplication, "closeBehavior", QStringLiteral("quit")); });
    connect(ui->uploadTasksNumComboBox, &QComboBox::currentTextChanged, this,
            [this, write](const QString& text) {
                write(kUpload, "uploadTasksNum", text.toInt(nullptr, 10));
                uploads.ApplyQueueSettings();
            });
    connect(ui->autoStartUploadCheckBox, &QCheckBox::stateChanged, this, [this, write](int state) {
        write(kUpload, "autoStartUpload", state == Qt::Checked);
        uploads.ApplyQueueSettings();
    });
    connect(ui->unlimitedSpeedRadioButton, &QRadioButton::clicked, this,
            [this] { ui->limitedSpeedValueLineEdit->setEnabled(false); });
    connect(ui->limitedSpeedRadioButton, &QRadioButton::clicked, this,
            [this] { ui->limitedSpeedValueLineEdit->setEnabled(true); });
    connect(ui->proxyTypeComboBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this, write](int index) {
                write(kNetwork, "proxyType", index);
                NetworkSettings::Apply(settings, uploads);
                SetProxyBoxesEnabled(index != 0);
            });
    connect(ui->applyProxyBtn, &QPushButton::clicked, this, [this] {
        ProxySettings::Apply(settings, uploads, ui->proxyTypeComboBox->currentIndex(),
                             ui->addressLineedit->text(), ui->portLineedit->text(),
                             ui->usernameLineedit->text(), ui->passwordLineedit->text(),
                             ui->mainWidget, tr("NetSettingsDialog.HostIsEmpty!"));
    });
    connect(ui->basicSettingsBtn, &QPushButton::clicked, this,
            [this] { ui->stackedWidget->setCurrentWidget(ui->basicSettingsPage); });
    connect(ui->transferSettingsBtn, &QPushButton::clicked, this,
            [this] { ui->stackedWidget->setCurrentWidget(ui->transferSettingsPage); });
    connect(this, &PreferenceDialog::SignalAboutToClose, this, &PreferenceDialog::SaveSpeedLimit);
}

void PreferenceDialog::SaveSpeedLimit()
{
    Config* config = &settings;
    if (config && ui->limitedSpeedRadioButton->isChecked()) {
        bool ok = false;
        const uint speed = ui->limitedSpeedValueLineEdit->text().toUInt(&ok, 10);
        if (!ok || speed < kMinSpeed || speed > kMaxSpeed) {
            // Shown over the main window: this dialog is about to disappear.
            QWidget* over = parentWidget() ? parentWidget()->window() : nullptr;
            if (!over) {
                for (QWidget* top : QApplication::topLevelWidgets()) {
                    if (top->objectName() == QLatin1String("MainWindow") && top->isVisible()) {
                        over = top;
                        break;
                    }
                }
            }
            Toast::ShowToastInParent(over ? over : this, tr("LimitedSpeedValueError"), 1,
                                     Qt::AlignTop | Qt::AlignVCenter, true);
        } else {
            config->SetValue(kUpload, QStringLiteral("limitedSpeedValue"), speed);
        }
    } else if (config && ui->unlimitedSpeedRadioButton->isChecked()) {
        config->SetValue(kUpload, QStringLiteral("limitedSpeedValue"), 0);
    }
    uploads.ApplyQueueSettings();
}

void PreferenceDialog::closeEvent(QCloseEvent* event)
{
    emit SignalAboutToClose();
    QDialog::closeEvent(event);
}

void PreferenceDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Cancel)) {
        emit SignalAboutToClose();
    }
    QDialog::keyPressEvent(event);
}

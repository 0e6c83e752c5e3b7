#include "ui/shell/UpdateDialog.h"

#include <kavro/Deployment.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMovie>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QStyle>
#include <QTextBrowser>
#include <QUrl>
#include <QUuid>
#include <QVBoxLayout>
#include <QtConcurrent>

#include "api/ApiDownload.h"
#include "api/ApiErrors.h"
#include "api/ApiUpdate.h"
#include "app/Config.h"
#include "ui/common/MsgBox.h"
#include "ui/common/StyleSheet.h"
#include "ui/common/TitleBar.h"
#include "ui/common/UiResources.h"
#include "ui/shell/ClientVersion.h"
#include "upload/SDKManager.h"

namespace {

// The package the update service offers this system (see ApiCollection::updateRequestBody).
#ifdef Q_OS_WIN
const QString kDefaultPackage = QString::fromLatin1(kavro::deployment::kInstallerName);
#else
const QString kDefaultPackage = QString::fromLatin1(kavro::deployment::kLinuxPackageName);
#endif

QLabel* NewLabel(const QString& name, QWidget* parent, Qt::Alignment alignment = Qt::AlignCenter)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setAlignment(alignment);
    label->setWordWrap(true);
    return label;
}

QPushButton* NewButton(const QString& name, QWidget* parent)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

QString InstallerPathFromSettings(const Config& config)
{
    QString package = config.Value(QStringLiteral("Custom"), QStringLiteral("package")).toString();
    if (package.isEmpty()) {
        package = kDefaultPackage;
    }
    const QDir downloads(QStandardPaths::writableLocation(QStandardPaths::DownloadLocation));
    return QDir::cleanPath(downloads.absoluteFilePath(package));
}

UpdateDialog::Release LatestRelease()
{
    const ApiCollection::CheckUpdateResult result = ApiCollection::lastCheckUpdateResult();
    return UpdateDialog::Release{result.projectVersion, result.projectDescription,
                                 result.projectDownload};
}

// Downloads url into path (complete file or none), reporting (done, total) and polling *cancel;
// returns an empty text on success, else the error's name.
QString Download(const QString& url, const QString& path,
                 const std::function<void(qint64, qint64)>& progress, bool* cancel)
{
    ApiCollection::_DownloadInfo info;
    info.url = QUrl(url);
    info.fileInfo = QFileInfo(path);
    info.progress = [progress](qint64 dltotal, qint64 dlnow, qint64, qint64) {
        progress(dlnow, dltotal);
    };
    const ApiCollection::RequestError error = ApiCollection::MultiDownloadRequest(
        QUuid::createUuid(), {&info}, ApiCollection::DownloadCompletion(), cancel);
    return error == ApiCollection::NoError ? QString() : ApiCollection::requestErrorKey(error);
}

}  // namespace

UpdateDialog::UpdateDialog(int initialState, Config& config, SDKManager& uploads, QWidget* parent)
    : QDialog(parent), config(config), uploads(uploads)
{
    UiResources::Init();
    setObjectName(QStringLiteral("UpdateDialog"));
    setStyleSheet(StyleSheet::Load(QStringLiteral("UpdateDialog.qss")));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::FramelessWindowHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setAttribute(Qt::WA_StyledBackground);  // the style sheet draws the window frame
    setModal(true);
    setWindowTitle(tr("Client Update"));
    installerPath = InstallerPathFromSettings(config);
    BuildPages();

    connect(&checkWatcher, &QFutureWatcher<int>::finished, this, [this] {
        if (state == Checking && !checkAbort) {
            SetState(checkWatcher.result() + 1);
        }
    });
    connect(this, &UpdateDialog::SignalDownloadProgress, this,
            [this](qlonglong done, qlonglong total) {
                if (total != 0) {
                    SlotSetDownloadPercent(int(done * 100 / total));
                }
            });
    connect(&installer, &PackageInstaller::SignalFinished, this, &UpdateDialog::OnInstallFinished);
    connect(this, &UpdateDialog::SignalDownloadFailed, this, [this] {
        if (!downloadCancel) {
            SetState(DownloadFailed);
        }
    });
    connect(this, &UpdateDialog::SignalDownloadSucceed, this, [this] { SetState(ReadyToInstall); });
    SetState(initialState);
}

UpdateDialog::~UpdateDialog()
{
    // The workers read the flags owned here.
    checkAbort = true;
    downloadCancel = true;
    checkWatcher.waitForFinished();
    downloadWatcher.waitForFinished();
}

void UpdateDialog::BuildPages()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    titleBar = new TitleBar(this);
    titleBar->setObjectName(QStringLiteral("titleWidget"));
    titleBar->SetHost(this);
    layout->addWidget(titleBar);
    stack = new QStackedWidget(this);
    stack->setObjectName(QStringLiteral("stackedWidget"));
    layout->addWidget(stack);

    const auto page = [this](const QString& name) {
        auto* widget = new QWidget(stack);
        widget->setObjectName(name);
        auto* pageLayout = new QVBoxLayout(widget);
        pageLayout->setContentsMargins(40, 8, 40, 28);
        pageLayout->setSpacing(12);
        stack->addWidget(widget);
        return pageLayout;
    };

    QVBoxLayout* check = page(QStringLiteral("checkPage"));
    checkPage = stack->widget(0);
    checkIcon = NewLabel(QStringLiteral("checkIcon"), checkPage);
    checkIcon->setFixedHeight(64);
    versionLabel = NewLabel(QStringLiteral("versionLabel"), checkPage);
    auto* remarkRow = new QHBoxLayout;
    remarkRow->setSpacing(8);
    loadingLabel = NewLabel(QStringLiteral("loadingLabel"), checkPage);
    loadingLabel->setFixedSize(16, 16);
    remarkLabel = NewLabel(QStringLiteral("remarkLabel"), checkPage);
    remarkLabel->setWordWrap(false);
    remarkRow->addStretch(1);
    remarkRow->addWidget(loadingLabel);
    remarkRow->addWidget(remarkLabel);
    remarkRow->addStretch(1);
    checkPageBtn = NewButton(QStringLiteral("checkPageBtn"), checkPage);
    check->addStretch(1);
    check->addWidget(checkIcon);
    check->addWidget(versionLabel);
    check->addLayout(remarkRow);
    check->addStretch(1);
    check->addWidget(checkPageBtn, 0, Qt::AlignHCenter);

    const bool doubleDensity = !(devicePixelRatioF() == 1.0);
    loadingMovie = new QMovie(doubleDensity ? QStringLiteral(":/image/common/loading_16@2x.gif")
                                            : QStringLiteral(":/image/common/loading_16.gif"),
                              QByteArray(), this);
    connect(loadingMovie, &QMovie::frameChanged, this, [this, doubleDensity] {
        QPixmap frame = loadingMovie->currentPixmap();
        frame.setDevicePixelRatio(doubleDensity ? 2.0 : 1.0);
        loadingLabel->setPixmap(frame);
    });

    QVBoxLayout* info = page(QStringLiteral("updateInfoPage"));
    updateInfoPage = stack->widget(1);
    newVersionLabel = NewLabel(QStringLiteral("newVersionLabel"), updateInfoPage,
                               Qt::AlignLeft | Qt::AlignVCenter);
    newVersionLabel->setTextFormat(Qt::RichText);
    descriptionBrowser = new QTextBrowser(updateInfoPage);
    descriptionBrowser->setObjectName(QStringLiteral("descriptionBrowser"));
    updateBtn = NewButton(QStringLiteral("updateBtn"), updateInfoPage);
    info->addWidget(newVersionLabel);
    info->addWidget(descriptionBrowser, 1);
    info->addWidget(updateBtn, 0, Qt::AlignHCenter);

    QVBoxLayout* download = page(QStringLiteral("downloadPage"));
    downloadPage = stack->widget(2);
    progressLabel = NewLabel(QStringLiteral("progressLabel"), downloadPage);
    progressLabel->setTextFormat(Qt::RichText);
    progressBar = new QProgressBar(downloadPage);
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setTextVisible(false);
    progressBar->setRange(0, 100);
    progressBar->setFixedHeight(6);
    downloadPageBtn = NewButton(QStringLiteral("downloadPageBtn"), downloadPage);
    download->addStretch(1);
    download->addWidget(progressLabel);
    download->addWidget(progressBar);
    download->addStretch(1);
    download->addWidget(downloadPageBtn, 0, Qt::AlignHCenter);

    QVBoxLayout* install = page(QStringLiteral("installPage"));
    installPage = stack->widget(3);
    installLabel = NewLabel(QStringLiteral("installLabel"), installPage);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(16);
    installCancelBtn = NewButton(QStringLiteral("installCancelBtn"), installPage);
    installBtn = NewButton(QStringLiteral("installBtn"), installPage);
    buttons->addStretch(1);
    buttons->addWidget(installCancelBtn);
    buttons->addWidget(installBtn);
    buttons->addStretch(1);
    install->addStretch(1);
    install->addWidget(installLabel);
    install->addStretch(1);
    install->addLayout(buttons);

    setFixedSize(440, 320);

    connect(checkPageBtn, &QPushButton::clicked, this, &UpdateDialog::OnCheckPageButton);
    connect(updateBtn, &QPushButton::clicked, this, [this] { SetState(Downloading); });
    connect(downloadPageBtn, &QPushButton::clicked, this, &UpdateDialog::OnDownloadPageButton);
    connect(installBtn, &QPushButton::clicked, this, &UpdateDialog::Install);
    connect(installCancelBtn, &QPushButton::clicked, this, &QWidget::close);
}

void UpdateDialog::Repolish(QWidget* widget)
{
    widget->style()->unpolish(widget);
    widget->style()->polish(widget);
}

void UpdateDialog::SetState(int newState)
{
    state = newState;
    const QString current = tr("Current Version");
    switch (state) {
        case Checking:
            stack->setCurrentWidget(checkPage);
            checkIcon->setProperty("checkState", QStringLiteral("checking"));
            loadingLabel->show();
            loadingMovie->start();
            versionLabel->setText(QStringLiteral("%1 %2").arg(current, ClientVersion::kText));
            remarkLabel->setText(tr("Checking"));
            remarkLabel->setProperty("checkState", QStringLiteral("checking"));
            checkPageBtn->setText(tr("Cancel"));
            checkPageBtn->setProperty("state", QStringLiteral("cancel"));
            break;
        case UpToDate:
            stack->setCurrentWidget(checkPage);
            loadingMovie->stop();
            loadingLabel->hide();
            checkIcon->setProperty("checkState", QStringLiteral("normal"));
            versionLabel->setText(
                QStringLiteral("%1 %2").arg(tr("Current version"), ClientVersion::kText));
            remarkLabel->setText(tr("AlreadyNewVersionRemark"));
            remarkLabel->setProperty("checkState", QStringLiteral("normal"));
            checkPageBtn->setText(tr("Ok"));
            checkPageBtn->setProperty("state", QStringLiteral("normal"));
            break;
        case CheckFailedState:
            stack->setCurrentWidget(checkPage);
            loadingMovie->stop();
            loadingLabel->hide();
            checkIcon->setProperty("checkState", QStringLiteral("failed"));
            versionLabel->setText(QStringLiteral("%1 %2").arg(current, ClientVersion::kText));
            remarkLabel->setText(tr("Check failed, please retry"));
            remarkLabel->setProperty("checkState", QStringLiteral("failed"));
            checkPageBtn->setText(tr("recheck"));
            checkPageBtn->setProperty("state", QStringLiteral("normal"));
            break;
        case NewVersion: {
            stack->setCurrentWidget(updateInfoPage);
            loadingMovie->stop();
            const Release release = LatestRelease();
            newVersionLabel->setText(
                QStringLiteral("%1 %2 ").arg(tr("Has new version"), release.version) +
                QStringLiteral("<span style='color:#757575;'>%1</span>")
                    .arg(tr("(Current version %1)").arg(ClientVersion::kText)));
            descriptionBrowser->setPlainText(release.description);
            updateBtn->setText(tr("Update"));
            break;
        }
        case Downloading:
            stack->setCurrentWidget(downloadPage);
            SlotSetDownloadPercent(0);
            downloadPageBtn->setText(tr("Cancel"));
            downloadPageBtn->setProperty("state", QStringLiteral("cancel"));
            StartDownload();
            break;
        case DownloadFailed:
            stack->setCurrentWidget(downloadPage);
            progressLabel->setText(QStringLiteral("<span style='color:#FF3D3D'>%1</span>")
                                       .arg(tr("Download failed, please retry")));
            downloadPageBtn->setText(tr("Retry"));
            downloadPageBtn->setProperty("state", QStringLiteral("normal"));
            break;
        case ReadyToInstall:
            stack->setCurrentWidget(installPage);
            installLabel->setText(tr("Download succeed, install new version right now?"));
            installBtn->setText(tr("Install"));
            installCancelBtn->setText(tr("Cancel"));
            break;
        default:
            break;
    }
    for (QWidget* widget :
         {static_cast<QWidget*>(checkIcon), static_cast<QWidget*>(remarkLabel),
          static_cast<QWidget*>(checkPageBtn), static_cast<QWidget*>(downloadPageBtn)}) {
        Repolish(widget);
    }
}

void UpdateDialog::SlotSetDownloadPercent(int value)
{
    if (stack->currentWidget() != downloadPage) {
        return;
    }
    percent = value;
    progressBar->setValue(value);
    progressLabel->setText(
        QStringLiteral("%1 <span style='font-size:16px;font-weight:bold;color:#0A8DFF;"
                       "text-align:center;'>%2%</span>")
            .arg(tr("Downloading update"))
            .arg(value));
}

void UpdateDialog::StartCheck()
{
    SetState(Checking);
    if (checkWatcher.isRunning()) {
        return;
    }
    checkAbort = false;
    bool* abort = &checkAbort;
    checkWatcher.setFuture(QtConcurrent::run(QThreadPool::globalInstance(), [abort] {
        return int(ApiCollection::checkVersion(abort));
    }));
}

void UpdateDialog::OnCheckPageButton()
{
    switch (state) {
        case UpToDate:
            close();
            break;
        case Checking:
            checkAbort = true;
            close();
            break;
        case CheckFailedState:
            StartCheck();
            break;
        default:
            break;
    }
}

void UpdateDialog::OnDownloadPageButton()
{
    if (state == DownloadFailed) {
        SetState(Downloading);
    } else if (state == Downloading) {
        downloadCancel = true;
        close();
    }
}

void UpdateDialog::StartDownload()
{
    if (downloadWatcher.isRunning()) {
        qDebug() << "Update is downloading";
        return;
    }
    downloadCancel = false;
    const Release release = LatestRelease();
    const QString path = installerPath;
    bool* cancel = &downloadCancel;
    downloadWatcher.setFuture(QtConcurrent::run(QThreadPool::globalInstance(), [=] {
        const auto progress = [this](qint64 done, qint64 total) {
            emit SignalDownloadProgress(done, total);
        };
        const QString error = Download(release.downloadUrl, path, progress, cancel);
        if (!error.isEmpty()) {
            qWarning() << "Download package failed:" << error;
            emit SignalDownloadFailed();
        } else {
            emit SignalDownloadSucceed();
        }
    }));
}

void UpdateDialog::Install()
{
    if (installer.IsRunning()) {
        return;
    }
    if (uploads.AnyUploading()) {
        const QMessageBox::StandardButton answer =
            MsgBox::Info(this, tr("SystemTip"),
                         tr("There are some uploading tasks. Do you want to exit the application?"),
                         QMessageBox::Ok | QMessageBox::Cancel);
        if (answer != QMessageBox::Ok) {
            return;
        }
    }
    installBtn->setEnabled(false);
    installLabel->setText(tr("Installing the new version..."));
    installer.Install(installerPath);
}

void UpdateDialog::OnInstallFinished(int outcome, const QString& detail)
{
    installBtn->setEnabled(true);
    switch (outcome) {
        case PackageInstaller::Started:
            // A detached installer replaces the program: make way for it.
            QMetaObject::invokeMethod(QCoreApplication::instance(), "quit", Qt::QueuedConnection);
            close();
            return;
        case PackageInstaller::Installed:
            installBtn->hide();
            installLabel->setText(
                tr("The new version is installed. It runs the next time the program starts."));
            break;
        case PackageInstaller::FolderOpened:
            installLabel->setText(tr("Please install the package from its folder: %1")
                                      .arg(QDir::toNativeSeparators(installerPath)));
            break;
        default:
            // The program keeps running; the user may try again.
            installLabel->setText(tr("The installer could not run. %1").arg(detail).trimmed());
            break;
    }
}

void UpdateDialog::closeEvent(QCloseEvent* event)
{
    const bool busy =
        (state == Checking && !checkAbort) || (state == Downloading && !downloadCancel);
    if (busy) {
        const QMessageBox::StandardButton answer =
            MsgBox::Info(this, tr("SystemTip"), tr("Do you want to abort update?"),
                         QMessageBox::Ok | QMessageBox::Cancel);
        if (answer != QMessageBox::Ok) {
            event->ignore();
            return;
        }
        if (state == Checking) {
            checkAbort = true;
        } else {
            downloadCancel = true;
        }
    }
    QDialog::closeEvent(event);
}

int UpdateDialog::ShowUpdateDialog(int result, Config& config, SDKManager& uploads, QWidget* parent)
{
    UpdateDialog dialog(result + 1, config, uploads, parent);
    return dialog.exec();
}

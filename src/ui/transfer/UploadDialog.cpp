#include "ui/transfer/UploadDialog.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QStandardPaths>
#include <QTableView>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/Config.h"
#include "models/CategoryTreeModel.h"
#include "models/UploadTableModel.h"
#include "ui/common/StyleSheet.h"
#include "ui/common/TitleBar.h"
#include "ui/common/Toast.h"
#include "ui/library/VideoEditDialog.h"
#include "ui/transfer/DropToUploadEventFilter.h"
#include "ui/transfer/UploadButtonDelegate.h"
#include "upload/SDKManager.h"

namespace {

const char kVideoPatterns[] =
    "*.mp4 *.mov *.flv *.avi *.mkv *.webm *.3gp *.asf *.dat *.f4v "
    "*.m4v *.mpe *.mpg *.mpeg *.mts *.qt *.rmvb *.swf *.ts *.vob *.wmv";
const char kAudioPatterns[] = "*.mp3 *.aac *.wav *.wma";

// Where the file dialog opens: the movies folder at first, later the last file chosen.
QString& LastSelectLocation()
{
    static QString location;
    return location;
}

constexpr int kCateIdRole = int(CategoryTreeModel::DataRole::CateId);

}  // namespace

UploadDialog::UploadDialog(SDKManager& uploads, CategoryTreeModel& categories, Config& config,
                           QWidget* parent)
    : QDialog(parent), uploads(uploads), categories(categories), config(config)
{
    setObjectName(QStringLiteral("UploadDialog"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_StyledBackground);
    setModal(true);
    setStyleSheet(StyleSheet::Load(QStringLiteral("UploadDialog.qss")));
    setWindowTitle(tr("UploadDialog.Title"));
    model = new UploadTableModel(this);
    BuildUi();

    // The category combo: the application's category tree, fully expanded.
    categoryComboBox->setModel(&categories);
    categoryComboBox->setView(categoryComboBoxView);
    ExpandCategories();
    connect(&categories, &QAbstractItemModel::modelReset, this, &UploadDialog::ExpandCategories);
    connect(&categories, &QAbstractItemModel::rowsInserted, this, &UploadDialog::ExpandCategories);
    connect(&categories, &QAbstractItemModel::modelReset, this, [this] {
        if (cateId == 0 && this->categories.rowCount() > 0) {
            cateId = this->categories.index(0, 0).data(kCateIdRole).toULongLong();
        }
    });
    if (categories.rowCount() > 0) {
        cateId = categories.index(0, 0).data(kCateIdRole).toULongLong();
    }
    connect(categoryComboBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this] {
        const QModelIndex current = categoryComboBoxView->currentIndex();
        if (current.isValid()) {
            cateId = current.data(kCateIdRole).toULongLong();
        }
    });
    optimizeCheckBox->setChecked(
        config
            .Value(QStringLiteral("UploadTaskManager"), QStringLiteral("optimizeCoursewareSwitch"))
            .toBool());

    connect(model, &UploadTableModel::SignalRowCountChanged, this,
            &UploadDialog::OnRowCountChanged);
    connect(delegate, &UploadButtonDelegate::SignalButtonClicked, this,
            &UploadDialog::OnButtonClicked);
    connect(addFilesButton, &QPushButton::clicked, this,
            &UploadDialog::SlotAddVideoFromSystemFileSelect);
    connect(deleteAllButton, &QPushButton::clicked, this, [this] {
        model->SlotClear();
        StopFlicker();
    });
    connect(confirmButton, &QPushButton::clicked, this, &UploadDialog::SlotConfirmUpload);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    new DropToUploadEventFilter(table, [this](const QList<QUrl>& urls) { AddUrls(urls); });
    OnRowCountChanged(0);
}

UploadDialog::~UploadDialog() = default;

void UploadDialog::BuildUi()
{
    resize(860, 600);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    auto* titleBar = new TitleBar(this);
    titleBar->setObjectName(QStringLiteral("uploadDialogTitleBar"));
    titleBar->SetHost(this);
    titleBar->SetMinimumButtonVisible(false);
    titleBar->SetMaximumButtonVisible(false);
    layout->addWidget(titleBar);

    auto* body = new QWidget(this);
    body->setObjectName(QStringLiteral("uploadBody"));
    auto* bodyLayout = new QVBoxLayout(body);
    bodyLayout->setContentsMargins(32, 20, 32, 24);
    bodyLayout->setSpacing(16);

    auto* settingsRow = new QHBoxLayout;
    settingsRow->setSpacing(12);
    auto* categoryLabel = new QLabel(tr("UploadDialog.Category"), body);
    categoryLabel->setObjectName(QStringLiteral("categoryLabel"));
    categoryComboBox = new QComboBox(body);
    categoryComboBox->setObjectName(QStringLiteral("categoryComboBox"));
    categoryComboBox->setMinimumWidth(260);
    categoryComboBoxView = new QTreeView(categoryComboBox);
    categoryComboBoxView->setObjectName(QStringLiteral("categoryComboBoxView"));
    categoryComboBoxView->setHeaderHidden(true);
    categoryComboBoxView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    categoryComboBoxView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    categoryComboBoxView->setItemsExpandable(false);
    categoryComboBoxView->setRootIsDecorated(false);
    categoryComboBoxView->setIndentation(16);
    optimizeCheckBox = new QCheckBox(tr("UploadDialog.Optimize"), body);
    optimizeCheckBox->setObjectName(QStringLiteral("optimizeCheckBox"));
    optimizeCheckBox->setToolTip(tr("UploadDialog.OptimizeTip"));
    settingsRow->addWidget(categoryLabel);
    settingsRow->addWidget(categoryComboBox);
    settingsRow->addSpacing(12);
    settingsRow->addWidget(optimizeCheckBox);
    settingsRow->addStretch(1);
    bodyLayout->addLayout(settingsRow);

    auto* toolRow = new QHBoxLayout;
    toolRow->setSpacing(12);
    addFilesButton = new QPushButton(tr("UploadDialog.AddFiles"), body);
    addFilesButton->setObjectName(QStringLiteral("addFilesButton"));
    addFilesButton->setProperty("Style", QStringLiteral("blue"));
    countLabel = new QLabel(body);
    countLabel->setObjectName(QStringLiteral("countLabel"));
    deleteAllButton = new QPushButton(tr("UploadDialog.DeleteAll"), body);
    deleteAllButton->setObjectName(QStringLiteral("deleteAllButton"));
    deleteAllButton->setIcon(
        QIcon(QStringLiteral(":/image/transferList/icon_delete_tasks_normal.svg")));
    toolRow->addWidget(addFilesButton);
    toolRow->addWidget(countLabel);
    toolRow->addStretch(1);
    toolRow->addWidget(deleteAllButton);
    bodyLayout->addLayout(toolRow);

    table = new QTableView(body);
    table->setObjectName(QStringLiteral("UploadTableView"));
    table->setModel(model);
    delegate = new UploadButtonDelegate(table);
    table->setItemDelegate(delegate);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setFocusPolicy(Qt::NoFocus);
    table->setWordWrap(false);
    table->setAlternatingRowColors(true);
    table->setShowGrid(false);
    table->setMouseTracking(true);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(48);
    QHeaderView* header = table->horizontalHeader();
    header->setFixedHeight(48);
    header->setHighlightSections(false);
    header->setMinimumSectionSize(72);
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(UploadTableModel::Title, QHeaderView::Stretch);
    header->setDefaultAlignment(Qt::AlignCenter);
    table->setColumnWidth(UploadTableModel::Title, 120);
    // Fitted to its contents the size column left "1000.00 MB" elided (the item padding of the
    // style sheet is not in the size hint): wide enough for any "dddd.dd XB".
    header->setSectionResizeMode(UploadTableModel::FileSize, QHeaderView::Fixed);
    table->setColumnWidth(UploadTableModel::FileSize, 112);
    bodyLayout->addWidget(table, 1);

    emptyLabel = new QLabel(tr("UploadDialog.DropHint"), table->viewport());
    emptyLabel->setObjectName(QStringLiteral("emptyLabel"));
    emptyLabel->setAlignment(Qt::AlignCenter);
    emptyLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* emptyLayout = new QVBoxLayout(table->viewport());
    emptyLayout->addWidget(emptyLabel);

    auto* buttonRow = new QHBoxLayout;
    buttonRow->setSpacing(12);
    auto* hint = new QLabel(tr("UploadDialog.FormatHint"), body);
    hint->setObjectName(QStringLiteral("formatHintLabel"));
    cancelButton = new QPushButton(tr("UploadDialog.Cancel"), body);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    confirmButton = new QPushButton(tr("UploadDialog.Confirm"), body);
    confirmButton->setObjectName(QStringLiteral("confirmButton"));
    confirmButton->setProperty("Style", QStringLiteral("blue"));
    buttonRow->addWidget(hint, 1);
    buttonRow->addWidget(cancelButton);
    buttonRow->addWidget(confirmButton);
    bodyLayout->addLayout(buttonRow);
    layout->addWidget(body, 1);
}

void UploadDialog::ExpandCategories()
{
    categoryComboBoxView->expandAll();
}

void UploadDialog::SetCategory(qulonglong id)
{
    const QModelIndex index = categories.IndexOfCateId(id);
    if (index.isValid()) {
        categoryComboBox->setRootModelIndex(index.parent());
        categoryComboBox->setCurrentIndex(index.row());
        categoryComboBox->setRootModelIndex(QModelIndex());
        categoryComboBoxView->setCurrentIndex(index);
    }
    cateId = id;
}

void UploadDialog::OnRowCountChanged(int count)
{
    confirmButton->setEnabled(count > 0);
    countLabel->setText(tr("Total %1 videos").arg(count));
    countLabel->setVisible(count > 0);
    deleteAllButton->setVisible(count > 0);
    table->horizontalHeader()->setVisible(count > 0);
    emptyLabel->setVisible(count == 0);
}

void UploadDialog::SlotAddVideoFromSystemFileSelect()
{
    const QString video = QString::fromLatin1(kVideoPatterns);
    const QString audio = QString::fromLatin1(kAudioPatterns);
    const QStringList filters{
        QStringLiteral("%1 (%2)").arg(tr("AllMediaFiles"), video + QLatin1Char(' ') + audio),
        QStringLiteral("%1 (%2)").arg(tr("VideoFiles"), video),
        QStringLiteral("%1 (%2)").arg(tr("AudioFiles"), audio)};
    QString& location = LastSelectLocation();
    if (location.isEmpty()) {
        location = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    }
    const QStringList files = QFileDialog::getOpenFileNames(this, tr("MediaFiles"), location,
                                                            filters.join(QStringLiteral(";;")));
    if (!files.isEmpty()) {
        location = files.first();
        AddFiles(files);
    }
    table->horizontalHeader()->setVisible(model->rowCount() > 0);
}

void UploadDialog::AddUrls(const QList<QUrl>& urls)
{
    QStringList paths;
    for (const QUrl& url : urls) {
        const QString path = url.toLocalFile();
        if (!path.isEmpty()) {
            paths.append(path);
        }
    }
    AddFiles(paths);
}

void UploadDialog::AddFiles(const QStringList& paths)
{
    QStringList unsupported;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        const int existing = model->RowOfPath(info.absoluteFilePath());
        if (existing >= 0) {
            Flicker(existing);
        } else if (info.isFile() && UploadTableModel::IsSupported(path)) {
            model->SlotAppend(path);
        } else {
            unsupported.append(QDir::toNativeSeparators(path));
        }
    }
    table->horizontalHeader()->setVisible(model->rowCount() > 0);
    if (isVisible() && !unsupported.isEmpty()) {
        activateWindow();
        Toast::ShowToastInParent(
            this, QStringLiteral("%1\n%2)").arg(tr("UploadDialog.NoSupportFiles:"),
                                                unsupported.join(QLatin1Char('\n'))));
    }
}

void UploadDialog::Flicker(int row)
{
    const QModelIndex item = model->index(row, UploadTableModel::Title);
    FlickerItem flicker;
    flicker.item = item;
    flickers.insert(model->PathAt(row), flicker);
    table->scrollTo(item);
    if (!flickerTimer) {
        flickerTimer = new QTimer(this);
        connect(flickerTimer, &QTimer::timeout, this, &UploadDialog::SlotHighlightItem);
    }
    flickerTimer->start(kFlickerIntervalMs);
}

void UploadDialog::SelectRow(int row, bool select)
{
    if (row < 0) {
        return;
    }
    const QItemSelection selection(model->index(row, 0),
                                   model->index(row, UploadTableModel::ColumnSize - 1));
    table->selectionModel()->select(
        selection, select ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
}

void UploadDialog::SlotHighlightItem()
{
    for (auto it = flickers.begin(); it != flickers.end();) {
        FlickerItem& flicker = it.value();
        const int row = flicker.item.isValid() ? flicker.item.row() : -1;
        if (row < 0 || flicker.count > kFlickerLimit) {
            SelectRow(row, false);
            it = flickers.erase(it);
            continue;
        }
        flicker.on = !flicker.on;
        SelectRow(row, flicker.on);
        ++flicker.count;
        ++it;
    }
    if (flickers.isEmpty()) {
        StopFlicker();
    }
}

void UploadDialog::StopFlicker()
{
    if (flickerTimer) {
        flickerTimer->stop();
    }
    table->selectionModel()->clearSelection();
    flickers.clear();
}

void UploadDialog::OnButtonClicked(QPushButton* button, const QModelIndex& index)
{
    Q_UNUSED(button)
    const QModelIndex item = model->index(index.row(), UploadTableModel::Title);
    using Role = UploadTableModel::DataRole;
    if (index.column() == UploadTableModel::Edit) {
        VideoEditDialog edit(this);  // its upload mode: nothing is sent
        edit.SetTitle(item.data(UploadTableModel::Role(Role::Title)).toString());
        edit.SetDescription(item.data(UploadTableModel::Role(Role::Description)).toString());
        edit.SetTags(item.data(UploadTableModel::Role(Role::Tags)).toString());
        edit.SetFileSize(item.data(UploadTableModel::Role(Role::FileSize)).toULongLong());
        edit.SetMode(0);
        if (edit.exec() == QDialog::Accepted) {
            model->setData(item, edit.Title(), UploadTableModel::Role(Role::Title));
            model->setData(item, edit.Tags(), UploadTableModel::Role(Role::Tags));
            model->setData(item, edit.Description(), UploadTableModel::Role(Role::Description));
        }
    } else if (index.column() == UploadTableModel::Delete) {
        flickers.remove(model->PathAt(index.row()));
        model->removeRow(index.row());
        if (flickers.isEmpty()) {
            StopFlicker();
        }
    }
}

void UploadDialog::SlotConfirmUpload()
{
    using Role = UploadTableModel::DataRole;
    const int rows = model->rowCount();
    for (int row = 0; row < rows; ++row) {
        const QModelIndex item = model->index(row, UploadTableModel::Title);
        if (!SDKManager::CheckTextValid(
                QFileInfo(item.data(UploadTableModel::Role(Role::FilePath)).toString()).fileName(),
                item.data(UploadTableModel::Role(Role::Title)).toString(),
                item.data(UploadTableModel::Role(Role::Description)).toString(),
                item.data(UploadTableModel::Role(Role::Tags)).toString())) {
            Toast::ShowToastInParent(this, tr("UploadDialog.InvalidParam"));
            return;
        }
    }
    if (cateId == 0) {
        // The category tree has not arrived yet: nothing to upload into.
        Toast::ShowToastInParent(this, tr("UploadDialog.NoCategory"));
        return;
    }
    const QModelIndex cateIndex = categories.IndexOfCateId(cateId);
    const QString cateName = cateIndex.isValid() ? cateIndex.data().toString() : QString();
    const int luping = optimizeCheckBox->isChecked() ? 1 : 0;

    QSet<QString> handed;
    QVector<DBManager::Upload> files;
    for (int row = 0; row < rows; ++row) {
        const QModelIndex item = model->index(row, UploadTableModel::Title);
        const QString path = item.data(UploadTableModel::Role(Role::FilePath)).toString();
        if (handed.contains(path)) {
            continue;
        }
        handed.insert(path);
        DBManager::Upload file;
        file.cateId = qint64(cateId);
        file.fileName = path;
        file.titleName = item.data(UploadTableModel::Role(Role::Title)).toString();
        file.describ = item.data(UploadTableModel::Role(Role::Description)).toString();
        file.tag = item.data(UploadTableModel::Role(Role::Tags)).toString();
        file.catePath = cateName;
        file.luping = luping;
        qInfo().noquote() << "upload param:";
        qInfo().noquote() << "  cateId:" << cateId;
        qInfo().noquote() << "  filePath:" << path;
        qInfo().noquote() << "  title:" << file.titleName;
        qInfo().noquote() << "  desc:" << file.describ;
        qInfo().noquote() << "  tags:" << file.tag;
        qInfo().noquote() << "  cateName:" << cateName;
        qInfo().noquote() << "  luping:" << luping;
        files.append(file);
    }
    // One batch: a confirmation of many files is one database commit, not one per file. A
    // file the queue already holds for this category is announced instead of added.
    int alreadyQueued = 0;
    const QMetaObject::Connection existing = connect(&uploads, &SDKManager::SignalExistUpload, this,
                                                     [&alreadyQueued] { ++alreadyQueued; });
    const QVector<bool> results = uploads.AddUploads(files);
    disconnect(existing);
    const int handedOver = int(std::count(results.cbegin(), results.cend(), true)) - alreadyQueued;
    emit SignalUploadsQueued(handedOver, rows);
    accept();
}

#pragma once

#include <QDialog>
#include <QMap>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QUrl>

class CategoryTreeModel;
class Config;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTableView;
class QTimer;
class QTreeView;
class SDKManager;
class UploadButtonDelegate;
class UploadTableModel;

// The modal dialog in which the user collects media files, picks the category and the
// optimise switch, edits each file's texts and confirms; each confirmed file becomes one upload
// of the upload manager. Deletes itself when closed.
class UploadDialog : public QDialog
{
    Q_OBJECT

public:
    UploadDialog(SDKManager& uploads, CategoryTreeModel& categories, Config& config,
                 QWidget* parent = nullptr);
    ~UploadDialog() override;

    void SetCategory(qulonglong cateId);
    qulonglong CateId() const { return cateId; }
    void AddUrls(const QList<QUrl>& urls);
    void AddFiles(const QStringList& paths);

    UploadTableModel* Model() const { return model; }
    QTableView* Table() const { return table; }
    // The rows blinking right now, by file path.
    QStringList FlickeringPaths() const { return flickers.keys(); }

    static constexpr int kFlickerLimit = 10;
    static constexpr int kFlickerIntervalMs = 200;

signals:
    // After a confirmation: how many files went into the queue, of how many rows.
    void SignalUploadsQueued(int handedOver, int rows);

public slots:
    void SlotAddVideoFromSystemFileSelect();
    void SlotConfirmUpload();
    void SlotHighlightItem();

private:
    struct FlickerItem
    {
        int count = 0;
        bool on = false;
        QPersistentModelIndex item;
    };

    void BuildUi();
    void OnRowCountChanged(int count);
    void OnButtonClicked(QPushButton* button, const QModelIndex& index);
    void Flicker(int row);
    void StopFlicker();
    void SelectRow(int row, bool select);
    void ExpandCategories();

    SDKManager& uploads;
    CategoryTreeModel& categories;
    Config& config;
    UploadTableModel* model = nullptr;
    qulonglong cateId = 0;
    QMap<QString, FlickerItem> flickers;
    QTimer* flickerTimer = nullptr;

    QComboBox* categoryComboBox = nullptr;
    QTreeView* categoryComboBoxView = nullptr;
    QCheckBox* optimizeCheckBox = nullptr;
    QPushButton* addFilesButton = nullptr;
    QPushButton* deleteAllButton = nullptr;
    QLabel* countLabel = nullptr;
    QLabel* emptyLabel = nullptr;
    QTableView* table = nullptr;
    UploadButtonDelegate* delegate = nullptr;
    QPushButton* confirmButton = nullptr;
    QPushButton* cancelButton = nullptr;
};

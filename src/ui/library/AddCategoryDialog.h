#pragma once

#include <QDialog>
#include <QPointer>

class CategoryTreeModel;
class QLabel;
class QLineEdit;
class QPushButton;
class Toast;

// Asks for the name of a new sub-category and adds it through the category model. The dialog
// stays open until the platform accepted the name and cannot be closed while the request runs.
class AddCategoryDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kMaxNameLength = 40;

    AddCategoryDialog(CategoryTreeModel& categories, qulonglong parentCateId,
                      QWidget* parent = nullptr);

    qulonglong ParentCateId() const { return parentCateId; }
    bool IsRequestRunning() const;

public slots:
    void SlotConfirm();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

private:
    void ShowError(const QString& text);
    bool RefuseWhileRunning();
    void SetRunning(bool running);

    CategoryTreeModel& categories;
    qulonglong parentCateId;
    QLineEdit* inputEditor = nullptr;
    QLabel* countLabel = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QPointer<Toast> slowToast;
};

#pragma once

#include <QPointer>

#include "ui/common/BusyGuardedDialog.h"

class CategoryTreeModel;
class QLabel;
class QLineEdit;
class QPushButton;
class Toast;

// Asks for the name of a new sub-category and adds it through the category model. The dialog
// stays open until the platform accepted the name and cannot be closed while the request runs.
class AddCategoryDialog : public BusyGuardedDialog
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
    bool RefuseWhileRunning() override;

private:
    void ShowError(const QString& text);
    void SetRunning(bool running);

    CategoryTreeModel& categories;
    qulonglong parentCateId;
    QLineEdit* inputEditor = nullptr;
    QLabel* countLabel = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QPointer<Toast> slowToast;
};

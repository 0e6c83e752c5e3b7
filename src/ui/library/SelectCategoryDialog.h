#pragma once

#include <QPointer>
#include <QStringList>

#include "ui/common/BusyGuardedDialog.h"

class AccountManager;
class CategoryFilterRule;
class CategoryTreeModel;
class CategoryTreeView;
class QLineEdit;
class QPushButton;
class RecursiveFilterProxyModel;
class Toast;
class VideoTableModel;

// Picks the destination category for moving a category (mode 0) or a set of videos (mode 1)
// and asks the matching model to move. It stays open until the platform accepted the move and
// cannot be closed while the request runs.
class SelectCategoryDialog : public BusyGuardedDialog
{
    Q_OBJECT

public:
    enum Mode
    {
        MoveCategory = 0,
        MoveVideo = 1,
    };

    SelectCategoryDialog(AccountManager& accounts, CategoryTreeModel& categories,
                         VideoTableModel& videos, Mode mode, QWidget* parent = nullptr);

    void SetCategoryToMove(qulonglong cateId) { moveCateId = cateId; }
    void SetVidsToMove(const QStringList& vids) { moveVids = vids; }
    Mode CurrentMode() const { return mode; }
    bool IsRequestRunning() const;
    CategoryTreeView* Tree() const { return moveCateTree; }
    // Selects a category of the tree by id (through the filter).
    bool SelectCategory(qulonglong cateId);

public slots:
    void SlotUpdateCateFilter();
    void SlotConfirm();
    void SlotTaskRunningSlowly(bool isFinish);

protected:
    bool RefuseWhileRunning() override;

private:
    void ShowError(const QString& text);

    CategoryTreeModel& categories;
    VideoTableModel& videos;
    Mode mode;
    qulonglong moveCateId = 0;
    QStringList moveVids;
    QLineEdit* searchEditor = nullptr;
    CategoryTreeView* moveCateTree = nullptr;
    RecursiveFilterProxyModel* proxy = nullptr;
    CategoryFilterRule* filterRule = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QPointer<Toast> slowToast;
};

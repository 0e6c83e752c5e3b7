#include "ui/library/SelectCategoryDialog.h"

#include <QAction>
#include <QCloseEvent>
#include <QDebug>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QVariant>

#include "account/AccountManager.h"
#include "models/CategoryTreeModel.h"
#include "models/RecursiveFilterProxyModel.h"
#include "models/VideoTableModel.h"
#include "ui/common/StyleSheet.h"
#include "ui/common/TitleBar.h"
#include "ui/common/Toast.h"
#include "ui/library/CategoryFilterRule.h"
#include "ui/library/CategoryTreeView.h"

namespace {

constexpr int kCateIdRole = int(CategoryTreeModel::DataRole::CateId);

}  // namespace

SelectCategoryDialog::SelectCategoryDialog(AccountManager& accounts, CategoryTreeModel& categories,
                                           VideoTableModel& videos, Mode mode, QWidget* parent)
    : BusyGuardedDialog(parent), categories(categories), videos(videos), mode(mode)
{
    setObjectName(QStringLiteral("SelectCategoryDialog"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(StyleSheet::Load(QStringLiteral("SelectCategoryDialog.qss")));
    setWindowTitle(mode == MoveCategory ? tr("SelectCategoryDialog.TitleMoveCategory")
                                        : tr("SelectCategoryDialog.TitleMoveVideo"));
    setMinimumSize(560, 456);
    setModal(true);

    QVBoxLayout* layout = TitleBar::AddDialogFrame(this);

    auto* contentWidget = new QWidget(this);
    contentWidget->setObjectName(QStringLiteral("contentWidget"));
    auto* content = new QVBoxLayout(contentWidget);
    content->setContentsMargins(32, 16, 32, 16);
    content->setSpacing(12);
    searchEditor = new QLineEdit(contentWidget);
    searchEditor->setObjectName(QStringLiteral("searchEditor"));
    searchEditor->setPlaceholderText(tr("SelectCategoryDialog.SearchEditorPlaceholder"));
    searchEditor->setFixedHeight(40);
    searchEditor->setClearButtonEnabled(true);
    QAction* search =
        searchEditor->addAction(QIcon(QStringLiteral(":/image/videoList/icon_search_normal.svg")),
                                QLineEdit::TrailingPosition);
    search->setObjectName(QStringLiteral("searchCateButton"));
    connect(search, &QAction::triggered, this, &SelectCategoryDialog::SlotUpdateCateFilter);
    searchEditor->setEnabled(accounts.HasPermission(AccountManager::CateSearch));
    content->addWidget(searchEditor);

    proxy = new RecursiveFilterProxyModel(this);
    proxy->SetupForCategories(&categories);
    moveCateTree = new CategoryTreeView(accounts, categories, contentWidget);
    moveCateTree->setObjectName(QStringLiteral("moveCateTree"));
    moveCateTree->SetContextMenuEnabled(false);
    moveCateTree->setMinimumHeight(240);
    moveCateTree->setModel(proxy);
    moveCateTree->expand(proxy->index(0, 0));
    content->addWidget(moveCateTree, 1);
    layout->addWidget(contentWidget, 1);

    filterRule = new CategoryFilterRule(searchEditor, categories.NamesModel(),
                                        [this] { SlotUpdateCateFilter(); });

    auto* btnWidget = new QWidget(this);
    btnWidget->setObjectName(QStringLiteral("btnWidget"));
    auto* buttons = new QHBoxLayout(btnWidget);
    buttons->setContentsMargins(32, 0, 32, 0);
    buttons->setSpacing(16);
    buttons->addStretch(1);
    okButton = new QPushButton(tr("Ok"), btnWidget);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setProperty("Style", QStringLiteral("blue"));
    cancelButton = new QPushButton(tr("Cancel"), btnWidget);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    for (QPushButton* button : {okButton, cancelButton}) {
        button->setFixedHeight(32);
        button->setMinimumWidth(96);
        button->setAutoDefault(false);
    }
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    layout->addWidget(btnWidget);

    connect(okButton, &QPushButton::clicked, this, &SelectCategoryDialog::SlotConfirm);
    connect(cancelButton, &QPushButton::clicked, this, &SelectCategoryDialog::reject);

    if (mode == MoveCategory) {
        connect(&categories, &CategoryTreeModel::SignalMoveCategorySucceed, this, [this] {
            okButton->setEnabled(true);
            accept();
        });
        connect(&categories, &CategoryTreeModel::SignalMoveCategoryFailed, this,
                [this](const QString& error) {
                    ShowError(tr("SelectCategoryDialog.MoveCategoryFailed:") + error);
                    okButton->setEnabled(true);
                });
        connect(&categories, &CategoryTreeModel::SignalTaskRunningSlowly, this,
                [this](CategoryTreeModel::TaskType type, bool isFinish) {
                    if (type == CategoryTreeModel::TaskType::MoveCategory) {
                        SlotTaskRunningSlowly(isFinish);
                    }
                });
    } else {
        connect(&videos, &VideoTableModel::SignalMoveVideoSucceed, this, [this] {
            okButton->setEnabled(true);
            accept();
        });
        connect(&videos, &VideoTableModel::SignalMoveVideoFailed, this,
                [this](const QString& error) {
                    ShowError(tr("SelectCategoryDialog.MoveVideoFailed:") + error);
                    okButton->setEnabled(true);
                });
        connect(&videos, &VideoTableModel::SignalTaskRunningSlowly, this,
                [this](VideoTableModel::TaskType type, bool isFinish) {
                    if (type == VideoTableModel::TaskType::MoveVideo) {
                        SlotTaskRunningSlowly(isFinish);
                    }
                });
    }
}

bool SelectCategoryDialog::IsRequestRunning() const
{
    return !okButton->isEnabled();
}

bool SelectCategoryDialog::SelectCategory(qulonglong cateId)
{
    const QModelIndexList found = proxy->match(proxy->index(0, 0), kCateIdRole, cateId, 1,
                                               Qt::MatchExactly | Qt::MatchRecursive);
    if (found.isEmpty()) {
        return false;
    }
    moveCateTree->setCurrentIndex(found.first());
    moveCateTree->scrollTo(found.first());
    return true;
}

void SelectCategoryDialog::ShowError(const QString& text)
{
    Toast::ShowToastInParent(this, text);
}

void SelectCategoryDialog::SlotUpdateCateFilter()
{
    filterRule->ApplyTo(proxy, moveCateTree);
}

void SelectCategoryDialog::SlotConfirm()
{
    if (IsRequestRunning()) {
        return;
    }
    const QModelIndexList selected = moveCateTree->selectionModel()->selectedRows();
    if (selected.isEmpty()) {
        ShowError(tr("SelectCategoryDialog.NoSelected"));
        qWarning() << "SelectCategory: no Selected Category";
        return;
    }
    const qulonglong destination = selected.first().data(kCateIdRole).toULongLong();
    const QString destinationName = categories.CateName(destination);
    if (mode == MoveVideo) {
        qInfo().noquote() << "MoveVideo:"
                          << "dst category:"
                          << QStringLiteral("%1(%2),").arg(destinationName).arg(destination)
                          << "videos:" << moveVids.join(QStringLiteral(", "));
        okButton->setEnabled(false);
        videos.MoveVideos(moveVids, destination);
        return;
    }
    const QString name = categories.CateName(moveCateId);
    if (destination == categories.ParentCateId(moveCateId)) {
        ShowError(tr("SelectCategoryDialog.MoveCategoryToSrcCategory"));
        qInfo().noquote() << "MoveCategory:" << name << "to src category:" << destinationName;
        return;
    }
    if (destination == moveCateId) {
        ShowError(tr("SelectCategoryDialog.MoveCategoryToSelfCategory"));
        qInfo().noquote() << "MoveCategory:" << name << "to self category:" << destinationName;
        return;
    }
    qInfo().noquote() << "MoveCategory:" << name << "to" << destinationName
                      << QStringLiteral("(%1 -> %2)").arg(moveCateId).arg(destination);
    okButton->setEnabled(false);
    categories.MoveCategory(moveCateId, destination);
}

void SelectCategoryDialog::SlotTaskRunningSlowly(bool isFinish)
{
    if (!isFinish) {
        if (!slowToast) {
            slowToast = Toast::ShowToastInParent(this, tr("TaskRunningSlowly"), 1,
                                                 Qt::AlignTop | Qt::AlignVCenter, false);
        } else {
            slowToast->show();
        }
    } else if (slowToast) {
        slowToast->hide();
    }
}

bool SelectCategoryDialog::RefuseWhileRunning()
{
    if (!IsRequestRunning()) {
        return false;
    }
    ShowError(mode == MoveCategory ? tr("SelectCategoryDialog.IsMovingCategory")
                                   : tr("SelectCategoryDialog.IsMovingVideo"));
    return true;
}

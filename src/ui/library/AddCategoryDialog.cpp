#include "ui/library/AddCategoryDialog.h"

#include <QCloseEvent>
#include <QDebug>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QVariant>

#include "app/TextValidator.h"
#include "models/CategoryTreeModel.h"
#include "ui/common/StyleSheet.h"
#include "ui/common/TitleBar.h"
#include "ui/common/Toast.h"

AddCategoryDialog::AddCategoryDialog(CategoryTreeModel& categories, qulonglong parentCateId,
                                     QWidget* parent)
    : BusyGuardedDialog(parent), categories(categories), parentCateId(parentCateId)
{
    setObjectName(QStringLiteral("AddCategoryDialog"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(StyleSheet::Load(QStringLiteral("SelectCategoryDialog.qss")));
    setWindowTitle(tr("AddCategoryDialog.Title"));
    setMinimumSize(560, 240);
    setModal(true);

    QVBoxLayout* layout = TitleBar::AddDialogFrame(this);

    auto* contentWidget = new QWidget(this);
    contentWidget->setObjectName(QStringLiteral("contentWidget"));
    auto* content = new QHBoxLayout(contentWidget);
    content->setContentsMargins(32, 24, 32, 24);
    content->setSpacing(12);
    auto* label = new QLabel(tr("AddCategoryDialog.CateName:"), contentWidget);
    label->setObjectName(QStringLiteral("cateNameLabel"));
    content->addWidget(label);
    inputEditor = new QLineEdit(contentWidget);
    inputEditor->setObjectName(QStringLiteral("inputEditor"));
    inputEditor->setPlaceholderText(tr("AddCategoryDialog.InputEditorPlaceholder"));
    inputEditor->setMinimumWidth(256);
    inputEditor->setFixedHeight(40);
    inputEditor->setMaxLength(kMaxNameLength);
    content->addWidget(inputEditor, 1);
    countLabel = new QLabel(QStringLiteral("0/%1").arg(kMaxNameLength), contentWidget);
    countLabel->setObjectName(QStringLiteral("countLabel"));
    countLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    countLabel->setMinimumWidth(40);
    content->addWidget(countLabel);
    layout->addWidget(contentWidget, 1);

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

    connect(inputEditor, &QLineEdit::textChanged, this, [this](const QString& text) {
        countLabel->setText(QStringLiteral("%1/%2").arg(text.size()).arg(kMaxNameLength));
    });
    connect(inputEditor, &QLineEdit::returnPressed, this, &AddCategoryDialog::SlotConfirm);
    connect(okButton, &QPushButton::clicked, this, &AddCategoryDialog::SlotConfirm);
    connect(cancelButton, &QPushButton::clicked, this, &AddCategoryDialog::reject);

    connect(&categories, &CategoryTreeModel::SignalAddCategorySucceed, this, [this] {
        SetRunning(false);
        accept();
    });
    connect(&categories, &CategoryTreeModel::SignalAddCategoryFailed, this,
            [this](const QString& error) {
                ShowError(tr("AddCategoryDialog.AddCategoryFailed:") + error);
                SetRunning(false);
            });
    connect(&categories, &CategoryTreeModel::SignalTaskRunningSlowly, this,
            [this](CategoryTreeModel::TaskType type, bool isFinish) {
                if (type != CategoryTreeModel::TaskType::AddCategory) {
                    return;
                }
                if (!isFinish) {
                    if (!slowToast) {
                        slowToast =
                            Toast::ShowToastInParent(this, tr("TaskRunningSlowly"), 1,
                                                     Qt::AlignTop | Qt::AlignVCenter, false);
                    } else {
                        slowToast->show();
                    }
                } else if (slowToast) {
                    slowToast->hide();
                }
            });
}

bool AddCategoryDialog::IsRequestRunning() const
{
    return !okButton->isEnabled();
}

void AddCategoryDialog::ShowError(const QString& text)
{
    Toast::ShowToastInParent(this, text);
}

void AddCategoryDialog::SetRunning(bool running)
{
    okButton->setEnabled(!running);
    inputEditor->setEnabled(!running);
}

void AddCategoryDialog::SlotConfirm()
{
    if (IsRequestRunning()) {
        return;
    }
    const QString name = inputEditor->text();
    if (name.isEmpty()) {
        ShowError(tr("AddCategoryDialog.EmptyCateName"));
        qWarning() << "AddCategory: empty category name";
        return;
    }
    if (!TextValidator::IsValid(name)) {
        ShowError(tr("AddCategoryDialog.CateNameMySQLIncompatible"));
        qWarning() << "AddCategory: category name is MySQL incompatible";
        return;
    }
    if (categories.IsCateNameAlreadyInCateId(parentCateId, name)) {
        ShowError(tr("AddCategoryDialog.CateNameDuplicated"));
        qWarning().noquote() << "AddCategory: category name exists:" << name;
        return;
    }
    qInfo().noquote() << "AddCategory:" << name << "in" << categories.CateName(parentCateId)
                      << "parentCateId:" << parentCateId;
    SetRunning(true);
    categories.AddCategory(parentCateId, name);
}

bool AddCategoryDialog::RefuseWhileRunning()
{
    if (!IsRequestRunning()) {
        return false;
    }
    ShowError(tr("AddCategoryDialog.IsAddingCategory"));
    return true;
}

#include "ui/library/VideoEditDialogForm.h"

#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "ui/common/LineEditProxyStyle.h"
#include "ui/common/StyleSheet.h"
#include "ui/common/TitleBar.h"

namespace {

const QString kDefaultThumb = QStringLiteral(":/image/common/icon_default_video_thumbs.svg");
const QString kSelectedIcon = QStringLiteral(":/image/common/icon_selected.svg");
const QSize kSnapshotSize(150, 84);
const QSize kSelectedSize(224, 126);
const QSize kOwnCoverSize(150, 84);

QLabel* Caption(const QString& text, QWidget* parent, const char* name = nullptr)
{
    auto* label = new QLabel(text, parent);
    if (name) {
        label->setObjectName(QLatin1String(name));
    }
    return label;
}

// A cover label: the default picture until an image arrives, a check mark when chosen.
QLabel* CoverLabel(const char* name, const QSize& size, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setFixedSize(size);
    label->setAlignment(Qt::AlignCenter);
    label->setProperty("valid", false);
    label->setProperty("selected", false);
    VideoEditDialogForm::ShowDefaultPicture(label);
    auto* mark = new QLabel(label);
    mark->setObjectName(QStringLiteral("selectedMark"));
    mark->setPixmap(QIcon(kSelectedIcon).pixmap(QSize(20, 20)));
    mark->setFixedSize(20, 20);
    mark->move(size.width() - 24, 4);
    mark->hide();
    return label;
}

}  // namespace

void VideoEditDialogForm::SetupUi(QDialog* dialog)
{
    dialog->setObjectName(QStringLiteral("VideoEditDialog"));
    dialog->setWindowTitle(tr("VideoEditDialog.WindowTitle"));
    dialog->setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    dialog->setAttribute(Qt::WA_StyledBackground);
    dialog->setStyleSheet(StyleSheet::Load(QStringLiteral("System.qss")) +
                          StyleSheet::Load(QStringLiteral("TitleBar.qss")) +
                          StyleSheet::Load(QStringLiteral("VideoEditDialog.qss")));
    dialog->setFixedSize(800, 600);

    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    titleBar = new TitleBar(dialog);
    titleBar->setObjectName(QStringLiteral("titleWidget"));
    titleBar->SetHost(dialog);
    titleBar->SetMinimumButtonVisible(false);
    titleBar->SetMaximumButtonVisible(false);
    titleBar->SetBottomLine(true);
    layout->addWidget(titleBar);

    pageButtonWidget = new QWidget(dialog);
    pageButtonWidget->setObjectName(QStringLiteral("pageButtonWidget"));
    pageButtonWidget->setAttribute(Qt::WA_StyledBackground);
    auto* pagesLayout = new QHBoxLayout(pageButtonWidget);
    pagesLayout->setContentsMargins(24, 0, 24, 0);
    pagesLayout->setSpacing(24);
    basicInfoButton = new QPushButton(tr("VideoEditDialog.BasicInfo"), pageButtonWidget);
    basicInfoButton->setObjectName(QStringLiteral("basicInfoButton"));
    coverInfoButton = new QPushButton(tr("VideoEditDialog.CoverInfo"), pageButtonWidget);
    coverInfoButton->setObjectName(QStringLiteral("coverInfoButton"));
    for (QPushButton* button : {basicInfoButton, coverInfoButton}) {
        button->setCheckable(true);
        button->setAutoDefault(false);
        button->setFocusPolicy(Qt::NoFocus);
        pagesLayout->addWidget(button);
    }
    pagesLayout->addStretch(1);
    layout->addWidget(pageButtonWidget);

    stackedWidget = new QStackedWidget(dialog);
    stackedWidget->setObjectName(QStringLiteral("stackedWidget"));
    stackedWidget->addWidget(BuildBasicPage());
    stackedWidget->addWidget(BuildCoverPage());
    layout->addWidget(stackedWidget, 1);

    auto* buttons = new QWidget(dialog);
    buttons->setObjectName(QStringLiteral("buttonWidget"));
    buttons->setAttribute(Qt::WA_StyledBackground);
    auto* buttonsLayout = new QHBoxLayout(buttons);
    buttonsLayout->setContentsMargins(24, 12, 24, 20);
    buttonsLayout->setSpacing(16);
    buttonsLayout->addStretch(1);
    cancelButton = new QPushButton(tr("VideoEditDialog.Cancel"), buttons);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    okButton = new QPushButton(tr("VideoEditDialog.OK"), buttons);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setProperty("Style", QStringLiteral("blue"));
    for (QPushButton* button : {cancelButton, okButton}) {
        button->setAutoDefault(false);
    }
    buttonsLayout->addWidget(cancelButton);
    buttonsLayout->addWidget(okButton);
    layout->addWidget(buttons);
}

void VideoEditDialogForm::ShowDefaultPicture(QLabel* label)
{
    label->setPixmap(QIcon(kDefaultThumb).pixmap(QSize(48, 48)));
}

QWidget* VideoEditDialogForm::BuildBasicPage()
{
    auto* page = new QWidget(stackedWidget);
    page->setObjectName(QStringLiteral("basicPage"));
    page->setAttribute(Qt::WA_StyledBackground);
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(24, 16, 24, 8);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(12);
    grid->setColumnStretch(1, 1);

    titleLineEdit = new QLineEdit(page);
    titleLineEdit->setObjectName(QStringLiteral("titleLineEdit"));
    titleLineEdit->setPlaceholderText(tr("VideoEditDialog.VideoTiltePlaceholder"));
    titleLineEdit->setMaxLength(kTitleMax);
    LineEditProxyStyle::Fit(titleLineEdit);
    descPlainTextEdit = new QPlainTextEdit(page);
    descPlainTextEdit->setObjectName(QStringLiteral("descPlainTextEdit"));
    descPlainTextEdit->setPlaceholderText(tr("VideoEditDialog.VideoDescPlaceholder"));
    descPlainTextEdit->setTabChangesFocus(true);
    tagsLineEdit = new QLineEdit(page);
    tagsLineEdit->setObjectName(QStringLiteral("tagsLineEdit"));
    tagsLineEdit->setPlaceholderText(tr("VideoEditDialog.VideoTagsPlaceholder"));
    tagsLineEdit->setMaxLength(kTagsMax);
    LineEditProxyStyle::Fit(tagsLineEdit);
    titleCountLabel = Caption(QString(), page, "titleCountLabel");
    descCountLabel = Caption(QString(), page, "descCountLabel");
    tagsCountLabel = Caption(QString(), page, "tagsCountLabel");

    int row = 0;
    auto addEdit = [&](const QString& caption, QWidget* edit, QLabel* counter) {
        auto* label = Caption(caption, page);
        label->setProperty("caption", true);
        const bool multiLine = edit == descPlainTextEdit;
        if (multiLine) {
            label->setContentsMargins(0, 8, 0, 0);
        }
        grid->addWidget(label, row, 0,
                        Qt::AlignRight | (multiLine ? Qt::AlignTop : Qt::AlignVCenter));
        grid->addWidget(edit, row, 1);
        grid->addWidget(counter, row, 2, Qt::AlignLeft | Qt::AlignBottom);
        ++row;
    };
    addEdit(tr("VideoEditDialog.Title:"), titleLineEdit, titleCountLabel);
    addEdit(tr("VideoEditDialog.Desc:"), descPlainTextEdit, descCountLabel);
    addEdit(tr("VideoEditDialog.Tags:"), tagsLineEdit, tagsCountLabel);

    auto addInfo = [&](const QString& caption, const char* name, bool library) {
        auto* label = Caption(caption, page);
        label->setProperty("caption", true);
        auto* value = Caption(QString(), page, name);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(label, row, 0, Qt::AlignRight);
        grid->addWidget(value, row, 1, 1, 2);
        ++row;
        if (library) {
            libraryRows << label << value;
        }
        return value;
    };
    vidLabel = addInfo(tr("VideoEditDialog.Vid:"), "vidLabel", true);
    durationLabel = addInfo(tr("VideoEditDialog.Duration:"), "durationLabel", true);
    fileSizeLabel = addInfo(tr("VideoEditDialog.FileSize:"), "fileSizeLabel", false);
    uploadTimeLabel = addInfo(tr("VideoEditDialog.UploadTime:"), "uploadTimeLabel", true);
    modifyTimeLabel = addInfo(tr("VideoEditDialog.ModifyTime:"), "modifyTimeLabel", true);
    grid->setRowStretch(row, 1);
    return page;
}

QWidget* VideoEditDialogForm::BuildCoverPage()
{
    auto* page = new QWidget(stackedWidget);
    page->setObjectName(QStringLiteral("coverPage"));
    page->setAttribute(Qt::WA_StyledBackground);
    auto* layout = new QHBoxLayout(page);
    layout->setContentsMargins(24, 16, 24, 8);
    layout->setSpacing(24);

    auto* left = new QVBoxLayout;
    left->setSpacing(10);
    left->addWidget(Caption(tr("VideoEditDialog.SelectCover"), page, "selectCoverLabel"));
    auto* grid = new QGridLayout;
    grid->setSpacing(10);
    for (int i = 0; i < kSnapshotCount; ++i) {
        const QByteArray name = "thumbs" + QByteArray::number(i + 1) + "Label";
        QLabel* label = CoverLabel(name.constData(), kSnapshotSize, page);
        label->setCursor(Qt::PointingHandCursor);
        snapshotLabels.append(label);
        grid->addWidget(label, i / 3, i % 3);
    }
    left->addLayout(grid);
    left->addSpacing(8);
    left->addWidget(Caption(tr("VideoEditDialog.OwnCover"), page, "ownCoverCaption"));
    auto* own = new QHBoxLayout;
    own->setSpacing(12);
    uploadThumbsLabel = CoverLabel("uploadThumbsLabel", kOwnCoverSize, page);
    own->addWidget(uploadThumbsLabel);
    auto* ownButtons = new QVBoxLayout;
    uploadCoverButton = new QPushButton(tr("VideoEditDialog.UploadCover"), page);
    uploadCoverButton->setObjectName(QStringLiteral("uploadCoverButton"));
    deleteCoverButton = new QPushButton(tr("VideoEditDialog.Delete"), page);
    deleteCoverButton->setObjectName(QStringLiteral("deleteCoverButton"));
    deleteCoverButton->setEnabled(false);
    for (QPushButton* button : {uploadCoverButton, deleteCoverButton}) {
        button->setAutoDefault(false);
        ownButtons->addWidget(button);
    }
    ownButtons->addStretch(1);
    own->addLayout(ownButtons);
    own->addStretch(1);
    left->addLayout(own);
    left->addStretch(1);
    layout->addLayout(left);

    auto* right = new QVBoxLayout;
    right->setSpacing(10);
    right->addWidget(Caption(tr("VideoEditDialog.SelectedCover"), page, "selectedCoverCaption"));
    coverSelectedLabel = CoverLabel("coverSelectedLabel", kSelectedSize, page);
    right->addWidget(coverSelectedLabel);
    auto* notice = Caption(tr("VideoEditDialog.CoverNotice"), page, "noticeLabel");
    notice->setWordWrap(true);
    notice->setFixedWidth(kSelectedSize.width());
    right->addWidget(notice);
    right->addStretch(1);
    layout->addLayout(right);

    return page;
}

#pragma once

#include <QCoreApplication>
#include <QList>
#include <QString>

class QDialog;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QWidget;
class TitleBar;

// The widgets of the video edit dialog, built in code the way a generated form builds them:
// the title bar, the page buttons, the basic page (texts, counters, the video's facts), the
// cover page (six snapshots, the current cover, the own cover) and the OK and Cancel buttons.
// The dialog wires them; texts are the dialog's translation keys.
class VideoEditDialogForm
{
    Q_DECLARE_TR_FUNCTIONS(VideoEditDialog)

public:
    static constexpr int kTitleMax = 200;
    static constexpr int kTagsMax = 200;
    static constexpr int kSnapshotCount = 6;

    void SetupUi(QDialog* dialog);

    // The picture a cover label shows until its image arrives.
    static void ShowDefaultPicture(QLabel* label);

    TitleBar* titleBar = nullptr;
    QWidget* pageButtonWidget = nullptr;
    QPushButton* basicInfoButton = nullptr;
    QPushButton* coverInfoButton = nullptr;
    QStackedWidget* stackedWidget = nullptr;
    QLineEdit* titleLineEdit = nullptr;
    QPlainTextEdit* descPlainTextEdit = nullptr;
    QLineEdit* tagsLineEdit = nullptr;
    QLabel* titleCountLabel = nullptr;
    QLabel* descCountLabel = nullptr;
    QLabel* tagsCountLabel = nullptr;
    QLabel* vidLabel = nullptr;
    QLabel* durationLabel = nullptr;
    QLabel* fileSizeLabel = nullptr;
    QLabel* uploadTimeLabel = nullptr;
    QLabel* modifyTimeLabel = nullptr;
    QList<QWidget*> libraryRows;    // captions and values of the rows a file to upload lacks
    QList<QLabel*> snapshotLabels;  // thumbs1Label to thumbs6Label
    QLabel* coverSelectedLabel = nullptr;
    QLabel* uploadThumbsLabel = nullptr;
    QPushButton* uploadCoverButton = nullptr;
    QPushButton* deleteCoverButton = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;

private:
    QWidget* BuildBasicPage();
    QWidget* BuildCoverPage();
};

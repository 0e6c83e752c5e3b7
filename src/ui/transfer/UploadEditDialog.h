#pragma once

#include <QDialog>

class QLineEdit;
class QPlainTextEdit;

// Edits the title, description and tags of one file of the upload dialog before it is
// queued. A small stand-in for the video edit dialog's upload mode.
class UploadEditDialog : public QDialog
{
    Q_OBJECT

public:
    UploadEditDialog(const QString& title, const QString& description, const QString& tags,
                     qint64 fileSize, QWidget* parent = nullptr);

    QString Title() const;
    QString Description() const;
    QString Tags() const;

private:
    void OnAccept();

    QLineEdit* titleEdit = nullptr;
    QPlainTextEdit* descriptionEdit = nullptr;
    QLineEdit* tagsEdit = nullptr;
};

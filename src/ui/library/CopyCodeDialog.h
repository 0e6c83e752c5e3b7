#pragma once

#include <QDialog>

class QPushButton;
class QTextEdit;

// Shows the playback code snippet of one video (the player script, a player element and the
// call that creates the player for the vid) and copies it as plain text.
class CopyCodeDialog : public QDialog
{
    Q_OBJECT

public:
    CopyCodeDialog(const QString& vid, QWidget* parent = nullptr);

    QString PlainCode() const;
    // The HTML of the code for vid in the given font family (empty: keep the template's).
    static QString CodeHtml(const QString& vid, const QString& fontFamily);

private:
    void Copy();

    QTextEdit* textEdit = nullptr;
    QPushButton* copyButton = nullptr;
};

#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class TitleBar;
class VidTextBrowser;

// Collects up to 100 vids (typed, pasted, imported from csv or txt files, or such files
// dropped on the dialog) and is accepted when the user asks for exactly those videos; the
// caller then reads Vids() and lists them.
class VideoBatchSearchDialog : public QDialog
{
    Q_OBJECT

public:
    explicit VideoBatchSearchDialog(QWidget* parent = nullptr);

    QStringList Vids() const;
    VidTextBrowser* Browser() const { return vidTextBrowser; }

    // What the import button and a drop do once the files are known.
    void ImportFiles(const QStringList& paths);
    // Imports the csv and txt files of a drop; any other file shows "Drag File Error".
    void DropFiles(const QList<QUrl>& urls);
    // Writes the ten-line template; false (with a tip) when the file cannot be written.
    bool WriteTemplate(const QString& path);

public slots:
    void on_importButton_clicked();
    void on_downloadButton_clicked();
    void on_cancelButton_clicked();
    void on_queryButton_clicked();

protected:
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void OnCount(int count);
    void Tip(const QString& text);

    TitleBar* titleBar = nullptr;
    VidTextBrowser* vidTextBrowser = nullptr;
    QLabel* countLabel = nullptr;
    QPushButton* importButton = nullptr;
    QPushButton* downloadButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QPushButton* queryButton = nullptr;
};

#pragma once

#include <QDialog>
#include <QMessageBox>

class QDialogButtonBox;
class QLabel;
class TitleBar;

// The system's message box: frameless, with the common title bar, an icon by type (0 Info,
// 1 Warning), a centred message and centred buttons. Info and Warning run it modally and
// return the clicked standard button, or NoButton when it was closed otherwise.
class MsgBox : public QDialog
{
    Q_OBJECT

public:
    enum Type
    {
        TypeInfo = 0,
        TypeWarning = 1
    };

    explicit MsgBox(QWidget* parent = nullptr);

    void SetType(int type);
    void SetTitle(const QString& title);
    void SetText(const QString& text);
    void SetStandardButtons(QMessageBox::StandardButtons buttons);
    void SetDefaultButton(QMessageBox::StandardButton button);
    QMessageBox::StandardButton ClickedButton() const { return clicked; }

    static QMessageBox::StandardButton Info(
        QWidget* parent, const QString& title, const QString& text,
        QMessageBox::StandardButtons buttons = QMessageBox::Ok,
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    static QMessageBox::StandardButton Warning(
        QWidget* parent, const QString& title, const QString& text,
        QMessageBox::StandardButtons buttons = QMessageBox::Ok,
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

protected:
    void showEvent(QShowEvent* event) override;

private:
    static QMessageBox::StandardButton Run(int type, QWidget* parent, const QString& title,
                                           const QString& text,
                                           QMessageBox::StandardButtons buttons,
                                           QMessageBox::StandardButton defaultButton);
    void ApplyType();

    int type = TypeInfo;
    TitleBar* titleBar = nullptr;
    QLabel* iconLabel = nullptr;
    QLabel* msgLabel = nullptr;
    QDialogButtonBox* buttonBox = nullptr;
    QMessageBox::StandardButton clicked = QMessageBox::NoButton;
};

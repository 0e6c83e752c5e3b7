#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

// One row of the login dialog's account list: the account, elided to the row, and a delete
// button shown while the row is hovered.
class AccountItemWidget : public QWidget
{
    Q_OBJECT

public:
    AccountItemWidget(const QString& account, bool deletable, QWidget* parent = nullptr);

    QString Account() const { return account; }
    bool Deletable() const { return deletable; }
    QLabel* AccountLabel() const { return accountLabel; }
    QPushButton* DeleteButton() const { return delBtn; }

signals:
    void AccountDelete();

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void SetHighlighted(bool highlighted);
    void ElideAccount();

    QString account;
    bool deletable = false;
    QLabel* accountLabel = nullptr;
    QPushButton* delBtn = nullptr;
};

#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;

// The account row of the account menu: the account, its expiry and the storage in use.
class UserInfoWidget : public QWidget
{
    Q_OBJECT

public:
    // The signed-in account as the row shows it.
    struct Info
    {
        QString account;
        bool expired = true;
        qint64 remainBytes = 0;
        quint64 space = 0;
        qint64 leftDay = 0;
        quint64 expirationTime = 0;  // milliseconds since the epoch
    };

    explicit UserInfoWidget(QWidget* parent = nullptr);

    void SetUserInfo(const Info& info);

    // Percentage of the space in use: 0 without space, 100 when more remains than exists.
    static int UsedPercent(qint64 remainBytes, quint64 space);

    QLabel* AccountLabel() const { return accountLabel; }
    QLabel* ExpiredLabel() const { return expiredLabel; }
    QLabel* SpaceLabel() const { return spaceLabel; }
    QProgressBar* SpaceBar() const { return spaceBar; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QLabel* accountLabel = nullptr;
    QLabel* expiredLabel = nullptr;
    QProgressBar* spaceBar = nullptr;
    QLabel* spaceLabel = nullptr;
};

#pragma once

#include <QDialog>

class QLabel;
class QScrollArea;
class QVBoxLayout;

// Lists the videos whose deletion failed, each with the platform's message.
class DeleteVideoFailedPromptDialog : public QDialog
{
    Q_OBJECT

public:
    explicit DeleteVideoFailedPromptDialog(QWidget* parent = nullptr);

    void AddFailure(const QString& video, const QString& message);
    int Count() const { return count; }
    QString Summary() const;
    QStringList Lines() const;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int count = 0;
    QLabel* summaryLabel = nullptr;
    QScrollArea* scrollArea = nullptr;
    QWidget* msgLabelArea = nullptr;
    QVBoxLayout* msgLayout = nullptr;
};

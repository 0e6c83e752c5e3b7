#pragma once

#include <QList>
#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;

// The page-navigation bar under the video table: previous/next, a window of five numbered
// buttons, a jump-to combo box, the page count and the page size. A click never redraws the
// bar; it only reports the wish, and the owner redraws the bar with SetPages once the page has
// loaded, so a failed load leaves the bar on the page that is still shown.
class Paginator : public QWidget
{
    Q_OBJECT

public:
    explicit Paginator(QWidget* parent = nullptr);

    void SetPages(qulonglong current, qulonglong total, qulonglong pageSize);
    void SetPaginatorVisible(bool visible);

    qulonglong Current() const { return current; }
    qulonglong Total() const { return total; }
    qulonglong PageSize() const { return pageSize; }

    // The first number of the five-button window for a page of total pages.
    static qulonglong WindowStart(qulonglong current, qulonglong total);

signals:
    void SignalPageChanged(qulonglong current, qulonglong pageSize);

private:
    void Redraw();
    void OnNumberClicked(int button);
    void OnPageActivated(const QString& text);
    void OnPageSizeChanged(int index);

    QWidget* contentWidget = nullptr;
    QPushButton* previousBtn = nullptr;
    QPushButton* nextBtn = nullptr;
    QList<QPushButton*> numberButtons;
    QComboBox* pageComboBox = nullptr;
    QComboBox* pageSizeComboBox = nullptr;
    QLabel* totalPage = nullptr;

    qulonglong current = 0;
    qulonglong total = 0;
    qulonglong pageSize = 0;
};

#pragma once

#include <QWidget>

class QLabel;

// The first cell of a transfer row: a 16 by 16 file icon and the title, elided at its right
// end to the label's width with the full text as tool tip when elided.
class IconWidget : public QWidget
{
    Q_OBJECT

public:
    explicit IconWidget(const QString& text, QWidget* parent = nullptr);

    void SetText(const QString& text);
    QString Text() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Elide();

    QLabel* iconLabel = nullptr;
    QLabel* nameLabel = nullptr;
};

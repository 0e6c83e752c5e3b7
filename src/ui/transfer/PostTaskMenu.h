#pragma once

#include <QMenu>

class QRadioButton;

// What happens when the upload queue has finished: nothing, quit, sleep or shut down. Four
// exclusive radio rows; a click inside the menu does not close it.
class PostTaskMenu : public QMenu
{
    Q_OBJECT

public:
    enum Choice
    {
        Nothing = 0,
        Quit,
        Sleep,
        Shutdown
    };
    Q_ENUM(Choice)

    explicit PostTaskMenu(QWidget* parent = nullptr);

    Choice CurrentChoice() const { return choice; }
    void SetChoice(Choice value);

signals:
    void SignalChoiceChanged(PostTaskMenu::Choice choice);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    // Opens below its button with the right edges lined up, inside the window.
    void showEvent(QShowEvent* event) override;

private:
    QRadioButton* AddRow(const char* name, const QString& text, Choice value);

    Choice choice = Nothing;
    QList<QRadioButton*> buttons;
};

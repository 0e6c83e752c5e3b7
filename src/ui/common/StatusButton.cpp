#include "ui/common/StatusButton.h"

StatusButton::StatusButton(QWidget* parent) : QPushButton(parent)
{
    setAutoDefault(false);
    setCheckable(true);
}

StatusButton::StatusButton(const QString& objectName, const QString& uncheckedText,
                           const QString& checkedText, bool textMode, QWidget* parent)
    : StatusButton(parent)
{
    setObjectName(objectName);
    SetTexts(uncheckedText, checkedText, textMode);
}

void StatusButton::SetTexts(const QString& unchecked, const QString& checked, bool mode)
{
    uncheckedText = unchecked;
    checkedText = checked;
    textMode = mode;
    RefreshText();
}

void StatusButton::checkStateSet()
{
    QPushButton::checkStateSet();
    RefreshText();
}

void StatusButton::mouseReleaseEvent(QMouseEvent* event)
{
    QPushButton::mouseReleaseEvent(event);
    RefreshText();
}

void StatusButton::RefreshText()
{
    const QString& current = isChecked() ? checkedText : uncheckedText;
    if (textMode) {
        setText(current);
        setToolTip(QString());
    } else {
        setText(QString());
        setToolTip(current);
    }
}

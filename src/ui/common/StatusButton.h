#pragma once

#include <QPushButton>

// A checkable button with one text per state, shown as the button text in text mode and as the
// tool tip otherwise (icon-only buttons).
class StatusButton : public QPushButton
{
    Q_OBJECT

public:
    explicit StatusButton(QWidget* parent = nullptr);
    StatusButton(const QString& objectName, const QString& uncheckedText,
                 const QString& checkedText, bool textMode, QWidget* parent = nullptr);

    void SetTexts(const QString& unchecked, const QString& checked, bool textMode);
    QString UncheckedText() const { return uncheckedText; }
    QString CheckedText() const { return checkedText; }
    bool TextMode() const { return textMode; }

protected:
    void checkStateSet() override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void RefreshText();

    bool textMode = true;
    QString uncheckedText;
    QString checkedText;
};

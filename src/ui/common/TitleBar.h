#pragma once

#include <QPointer>
#include <QWidget>

class QVBoxLayout;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QSizeGrip;

// The title bar of every frameless window: title (or a custom widget), minimise, maximise and
// close buttons, moving the window by dragging and maximising by double click. It watches its
// host window to keep the maximise button and the resize grip in step with the window state.
class TitleBar : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool bottomLine READ BottomLine WRITE SetBottomLine)

public:
    // The host is the window of parent (the window the bar is placed on).
    explicit TitleBar(QWidget* parent = nullptr);

    // Lays out a small frameless dialog: a vertical layout on the dialog with a close-only title
    // bar on top; the caller adds the dialog's content below it.
    static QVBoxLayout* AddDialogFrame(QWidget* dialog);

    void SetHost(QWidget* host);
    QWidget* Host() const { return host; }

    // An empty text makes the label follow the host's window title.
    void SetTitle(const QString& text);
    QString Title() const;

    void SetMinimumButtonVisible(bool visible);
    void SetMaximumButtonVisible(bool visible);
    void SetCloseButtonVisible(bool visible);
    // White button icons for dark backgrounds.
    void SetWhiteBackground(bool white);

    // Replaces the title label by widget (stretch 1), followed by the buttons.
    void SetCustomWidget(QWidget* widget);
    QWidget* CustomWidget() const { return customWidget; }

    void SetMoveEnabled(bool enabled) { moveEnabled = enabled; }
    void SetDoubleClickMaximize(bool enabled) { doubleClickMaximize = enabled; }

    bool BottomLine() const { return bottomLine; }
    void SetBottomLine(bool on);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void RebuildLayout();
    void ToggleMaximized(bool maximize);
    void UpdateButtonVisibility();
    void UpdateSizeGrip();
    bool HostResizable() const;

    QPointer<QWidget> host;
    QWidget* titleWidget = nullptr;
    QHBoxLayout* titleLayout = nullptr;
    QLabel* titleLabel = nullptr;
    QWidget* controlWidget = nullptr;
    QPushButton* minimumBtn = nullptr;
    QPushButton* maximumBtn = nullptr;
    QPushButton* closeBtn = nullptr;
    QPointer<QWidget> customWidget;
    QSizeGrip* sizeGrip = nullptr;
    QMetaObject::Connection titleConnection;

    bool moveEnabled = true;
    bool doubleClickMaximize = true;
    bool bottomLine = false;
    bool showMinimum = true;
    bool showMaximum = true;
    bool showClose = true;

    // Fallback drag when the window system cannot move the window itself.
    bool dragging = false;
    QPoint dragOffset;
};

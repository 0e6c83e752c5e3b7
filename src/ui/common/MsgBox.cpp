#include "ui/common/MsgBox.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include "ui/common/StyleSheet.h"
#include "ui/common/TitleBar.h"

namespace {

// Texts of QMessageBox::Ok (0x400) to QMessageBox::RestoreDefaults (0x8000000), in bit order.
const char* const kButtonTexts[] = {
    QT_TRANSLATE_NOOP("MsgBox", "OK"),       QT_TRANSLATE_NOOP("MsgBox", "Save"),
    QT_TRANSLATE_NOOP("MsgBox", "Save All"), QT_TRANSLATE_NOOP("MsgBox", "Open"),
    QT_TRANSLATE_NOOP("MsgBox", "&Yes"),     QT_TRANSLATE_NOOP("MsgBox", "Yes to &All"),
    QT_TRANSLATE_NOOP("MsgBox", "&No"),      QT_TRANSLATE_NOOP("MsgBox", "N&o to All"),
    QT_TRANSLATE_NOOP("MsgBox", "Abort"),    QT_TRANSLATE_NOOP("MsgBox", "Retry"),
    QT_TRANSLATE_NOOP("MsgBox", "Ignore"),   QT_TRANSLATE_NOOP("MsgBox", "Close"),
    QT_TRANSLATE_NOOP("MsgBox", "Cancel"),   QT_TRANSLATE_NOOP("MsgBox", "Discard"),
    QT_TRANSLATE_NOOP("MsgBox", "Help"),     QT_TRANSLATE_NOOP("MsgBox", "Apply"),
    QT_TRANSLATE_NOOP("MsgBox", "Reset"),    QT_TRANSLATE_NOOP("MsgBox", "Restore Defaults"),
};

void Repolish(QWidget* widget)
{
    widget->style()->unpolish(widget);
    widget->style()->polish(widget);
}

}  // namespace

MsgBox::MsgBox(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("MsgBox"));
    setStyleSheet(StyleSheet::Load(QStringLiteral("MessageBox.qss")));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::FramelessWindowHint |
                   Qt::WindowSystemMenuHint | Qt::WindowStaysOnTopHint | Qt::WindowCloseButtonHint |
                   Qt::CustomizeWindowHint);
    setAttribute(Qt::WA_StyledBackground);  // the style sheet draws the window frame
    resize(400, 240);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 24);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    titleBar = new TitleBar(this);
    titleBar->setObjectName(QStringLiteral("MsgBoxTitleBar"));
    titleBar->setFixedHeight(48);
    layout->addWidget(titleBar);

    auto* body = new QWidget(this);
    body->setObjectName(QStringLiteral("msgBody"));
    body->setFixedWidth(398);
    body->setMinimumHeight(139);  // with the title bar, buttons and margins: 240 in all
    auto* bodyLayout = new QHBoxLayout(body);
    bodyLayout->setContentsMargins(32, 16, 32, 16);
    bodyLayout->setSpacing(12);
    iconLabel = new QLabel(body);
    iconLabel->setObjectName(QStringLiteral("iconLabel"));
    iconLabel->setFixedSize(24, 24);
    msgLabel = new QLabel(body);
    msgLabel->setObjectName(QStringLiteral("msgLabel"));
    msgLabel->setAlignment(Qt::AlignCenter);
    msgLabel->setWordWrap(true);
    bodyLayout->addStretch(1);
    bodyLayout->addWidget(iconLabel, 0, Qt::AlignVCenter);
    bodyLayout->addWidget(msgLabel, 0, Qt::AlignVCenter);
    bodyLayout->addStretch(1);
    layout->addWidget(body, 1);

    buttonBox = new QDialogButtonBox(this);
    buttonBox->setObjectName(QStringLiteral("buttonBox"));
    buttonBox->setCenterButtons(true);
    if (auto* boxLayout = buttonBox->layout()) {
        boxLayout->setSpacing(16);
    }
    layout->addWidget(buttonBox);
    connect(buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttonBox, &QDialogButtonBox::clicked, this, [this](QAbstractButton* button) {
        clicked = static_cast<QMessageBox::StandardButton>(buttonBox->standardButton(button));
        // Buttons of roles without accept or reject (Help, Apply, Reset) still end the box.
        const QDialogButtonBox::ButtonRole role = buttonBox->buttonRole(button);
        if (role != QDialogButtonBox::AcceptRole && role != QDialogButtonBox::RejectRole &&
            role != QDialogButtonBox::YesRole && role != QDialogButtonBox::NoRole) {
            done(QDialog::Rejected);
        }
    });

    SetTitle(QString());
    ApplyType();
}

void MsgBox::SetType(int value)
{
    type = value == TypeWarning ? TypeWarning : TypeInfo;
    ApplyType();
}

void MsgBox::ApplyType()
{
    const QString name = type == TypeWarning ? QStringLiteral("Warning") : QStringLiteral("Info");
    setProperty("Type", name);
    iconLabel->setProperty("Type", name);
    Repolish(this);
    Repolish(iconLabel);
    const QList<QAbstractButton*> buttons = buttonBox->buttons();
    if (!buttons.isEmpty()) {
        buttons.first()->setProperty("Type", name);
        Repolish(buttons.first());
    }
}

void MsgBox::SetTitle(const QString& title)
{
    const QString text = title.isNull() ? tr("MsgBox.DefaultTitle") : title;
    setWindowTitle(text);
    titleBar->SetTitle(text);
}

void MsgBox::SetText(const QString& text)
{
    msgLabel->setText(text);
    // A wrapping label asks for a narrow width; let short texts stay on one line.
    constexpr int kMaxTextWidth = 300;
    msgLabel->setMinimumWidth(
        qMin(kMaxTextWidth, msgLabel->fontMetrics().horizontalAdvance(text) + 2));
}

void MsgBox::SetStandardButtons(QMessageBox::StandardButtons buttons)
{
    buttonBox->setStandardButtons(QDialogButtonBox::StandardButtons(int(buttons)));
    int index = 0;
    for (uint bit = QMessageBox::Ok; bit <= QMessageBox::RestoreDefaults; bit <<= 1, ++index) {
        if (QPushButton* button = buttonBox->button(QDialogButtonBox::StandardButton(bit))) {
            button->setText(tr(kButtonTexts[index]));
            // The style's stock icons (a tick, a cross) do not belong to our flat buttons.
            button->setIcon(QIcon());
            button->setCursor(Qt::PointingHandCursor);
        }
    }
    ApplyType();
}

void MsgBox::SetDefaultButton(QMessageBox::StandardButton button)
{
    if (QPushButton* pushButton = buttonBox->button(QDialogButtonBox::StandardButton(button))) {
        pushButton->setDefault(true);
        pushButton->setFocus();
    }
}

void MsgBox::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    QRect area;
    if (QWidget* parent = parentWidget()) {
        area = QRect(parent->mapToGlobal(QPoint(0, 0)), parent->size());
    } else if (const QScreen* screen =
                   this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
        area = screen->availableGeometry();
    }
    if (area.isValid()) {
        QRect rect = frameGeometry();
        rect.moveCenter(area.center());
        move(rect.topLeft());
    }
    activateWindow();
    setFocus();
}

QMessageBox::StandardButton MsgBox::Run(int type, QWidget* parent, const QString& title,
                                        const QString& text, QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton)
{
    MsgBox box(parent);
    box.SetType(type);
    box.SetTitle(title);
    box.SetText(text);
    box.SetStandardButtons(buttons);
    box.SetDefaultButton(defaultButton);
    box.exec();
    return box.ClickedButton();
}

QMessageBox::StandardButton MsgBox::Info(QWidget* parent, const QString& title, const QString& text,
                                         QMessageBox::StandardButtons buttons,
                                         QMessageBox::StandardButton defaultButton)
{
    return Run(TypeInfo, parent, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton MsgBox::Warning(QWidget* parent, const QString& title,
                                            const QString& text,
                                            QMessageBox::StandardButtons buttons,
                                            QMessageBox::StandardButton defaultButton)
{
    return Run(TypeWarning, parent, title, text, buttons, defaultButton);
}

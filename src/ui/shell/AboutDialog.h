#pragma once

#include <QDialog>

namespace Ui {
class AboutDialog;
}

// Application name, version, copyright and the Qt licence notice.
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);
    ~AboutDialog() override;

private:
    Ui::AboutDialog* ui;
};

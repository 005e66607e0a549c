#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class AboutDlg;
}

// The About box: the icon, the version and a legal notice.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent);
    ~CAboutDlg() override;

private:
    std::unique_ptr<Ui::AboutDlg> m_ui;
};

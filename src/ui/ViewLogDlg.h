#pragma once

#include <QDialog>

#include <memory>

class CArchiveLog;
class CHelpViewer;

namespace Ui {
class ViewLogDlg;
}

// Shows the archive log of the last drop, read-only, for reading and copying.
// The main window keeps one for its whole life; the text is taken from the
// log each time it opens.
class CViewLogDlg : public QDialog {
    Q_OBJECT
public:
    CViewLogDlg(const CArchiveLog& log, CHelpViewer& help, QWidget* parent);
    ~CViewLogDlg() override;

    // Shows the log as it is now; returns when the user closes the dialog.
    int Run();

    QString LogText() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<Ui::ViewLogDlg> m_ui;
    const CArchiveLog& m_log;
};

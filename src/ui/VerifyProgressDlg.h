#pragma once

#include <QDialog>

class CBackgroundRun;
class QLabel;
class QProgressBar;
class QPushButton;

// The progress of a check or a comparison, with Cancel. Cancel (the button, Escape or the
// close box) asks the run to stop; the window stays until the run has
// ended, and whoever started the run closes it on the run's Finished.
class CVerifyProgressDlg : public QDialog {
    Q_OBJECT
public:
    // run: outlives the window. title, text: what the window says.
    CVerifyProgressDlg(CBackgroundRun& run, const QString& title, const QString& text, QWidget* parent = nullptr);

    void reject() override;

private:
    CBackgroundRun& m_run;
    QLabel* m_pText = nullptr;
    QProgressBar* m_pBar = nullptr;
    QPushButton* m_pCancel = nullptr;
};

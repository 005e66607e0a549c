#pragma once

#include <QDialog>

class CVerifyRun;
class QLabel;
class QProgressBar;
class QPushButton;

// The progress of a check, with Cancel. Cancel (the button, Escape or the
// close box) asks the run to stop; the window stays until the run has
// ended, and whoever started the run closes it on the run's Finished.
class CVerifyProgressDlg : public QDialog {
    Q_OBJECT
public:
    // run: outlives the window. reportName, folder: what the text names.
    CVerifyProgressDlg(CVerifyRun& run, const QString& reportName, const QString& folder, QWidget* parent = nullptr);

    void reject() override;

private:
    CVerifyRun& m_run;
    QLabel* m_pText = nullptr;
    QProgressBar* m_pBar = nullptr;
    QPushButton* m_pCancel = nullptr;
};

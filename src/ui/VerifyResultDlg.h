#pragma once

#include "VerifyLineModel.h"

#include <QDialog>

#include <memory>
#include <string>
#include <vector>

class CHelpViewer;
class CMediumVerifier;
class CReportComparer;
class QComboBox;
class QLabel;
class QTableView;

// The account of one check (or one comparison of two reports): its summary line, the hints about how the
// report was read, and its lines in a table that can show one kind only.
// Copy takes the selected rows (every shown row when none is selected) as
// stowlist-cli verify prints them; Save writes the shown rows and the
// summary line to a text file. The window deletes itself when closed.
class CVerifyResultDlg : public QDialog {
    Q_OBJECT
public:
    // verifier: a check that ended as Checked; the window keeps it for its lines.
    CVerifyResultDlg(std::unique_ptr<CMediumVerifier> verifier, const std::string& reportPath,
                     const QString& folder, CHelpViewer& help, QWidget* parent = nullptr);
    // comparer: a comparison that ended as Compared.
    CVerifyResultDlg(std::unique_ptr<CReportComparer> comparer, const std::string& oldPath,
                     const std::string& newPath, CHelpViewer& help, QWidget* parent = nullptr);
    ~CVerifyResultDlg() override;

    CVerifyLineModel& Model() { return m_model; }
    QTableView* Table() const { return m_pTable; }
    QComboBox* KindBox() const { return m_pKinds; }
    QString SummaryText() const;
    QString HintsText() const;

    void CopyLines();
    // Replaces path atomically; a failure is shown in a message box.
    bool SaveTo(const QString& path);

private:
    CVerifyResultDlg(std::unique_ptr<CMediumVerifier> verifier, std::unique_ptr<CReportComparer> comparer,
                     const std::string& reportPath, const QString& title, const QString& where, CHelpViewer& help,
                     QWidget* parent);
    std::string Summary() const;
    void OnSave();
    void OnKindChosen(int index);
    void ShowCount();
    std::vector<int> SelectedRows() const;

    std::unique_ptr<CMediumVerifier> m_pVerifier; // one of the two
    std::unique_ptr<CReportComparer> m_pComparer;
    CVerifyLineModel m_model; // over their lines
    std::string m_strReportPath;
    QLabel* m_pSummary = nullptr;
    QLabel* m_pHints = nullptr;
    QComboBox* m_pKinds = nullptr;
    QLabel* m_pCount = nullptr;
    QTableView* m_pTable = nullptr;
};

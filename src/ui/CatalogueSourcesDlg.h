#pragma once

#include "Catalogue.h"

#include <QDialog>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class CCatalogueThread;
class CHelpViewer;
class CSettingsStore;
class CCompareRun;
class CVerifyProgressDlg;
class CVerifyRun;
class QCheckBox;
class QPushButton;
class QTreeWidget;

// The sources of the catalogue (report files, archive logs, folders of
// reports) with their state, kind, number of entries and path, and the
// buttons that add, remove and refresh them. The work runs on the
// catalogue's thread; the list follows its SourcesChanged answers.
// The check box switches [Catalogue] AddReports at once.
// Verify against... checks a folder or medium against the one report
// selected, on a thread of its own, and opens the account in a window.
// Compare... compares the two reports selected (the older, by the time its
// file was last written, as the old one) in the same way.
class CCatalogueSourcesDlg : public QDialog {
    Q_OBJECT
public:
    CCatalogueSourcesDlg(CCatalogueThread& catalogue, CSettingsStore& settings, CHelpViewer& help,
                         QWidget* parent = nullptr);
    ~CCatalogueSourcesDlg() override;

    QTreeWidget* List() const { return m_pList; }
    // The rows as "state\tkind\tentries\tpath", for the tests and the eye.
    QStringList Rows() const;

    // What Verify against... does once its folder dialog has given a
    // folder: checks that folder (a mount point: the whole medium) against
    // the selected report. Nothing happens unless exactly one report is
    // selected and no check runs.
    void VerifyAgainst(const QString& folder);
    // What Compare... does: compares the two reports selected, unless a
    // comparison runs.
    void CompareSelected();

private:
    void ShowSources(const std::vector<CSourceInfo>& sources);
    void OnAddFolder();
    void OnAddFiles();
    void OnRemove();
    void OnSelectionChanged();
    void OnContextMenu(const QPoint& position);
    void OnVerify();
    void OnVerifyFinished();
    void OnCompareFinished();
    // The paths of the selected sources that are reports.
    std::vector<std::string> SelectedReports() const;
    // The path of the one selected source when it is a report.
    std::optional<std::string> SelectedReport() const;

    CCatalogueThread& m_catalogue;
    CSettingsStore& m_settings;
    CHelpViewer& m_help;
    QTreeWidget* m_pList = nullptr;
    QPushButton* m_pRemove = nullptr;
    QPushButton* m_pVerify = nullptr;
    QPushButton* m_pCompare = nullptr;
    QCheckBox* m_pAddReports = nullptr;
    QString m_strVerifyFolder; // the folder last checked, where the next dialog opens
    std::unique_ptr<CVerifyRun> m_pVerifyRun; // while a check runs
    CVerifyProgressDlg* m_pVerifyProgress = nullptr;
    std::string m_strVerifyReport;
    std::unique_ptr<CCompareRun> m_pCompareRun; // while a comparison runs
    CVerifyProgressDlg* m_pCompareProgress = nullptr;
    std::string m_strCompareOld;
    std::string m_strCompareNew;
};

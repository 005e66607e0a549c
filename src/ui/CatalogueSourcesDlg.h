#pragma once

#include "Catalogue.h"

#include <QDialog>

#include <vector>

class CCatalogueThread;
class CHelpViewer;
class CSettingsStore;
class QCheckBox;
class QPushButton;
class QTreeWidget;

// The sources of the catalogue (report files, archive logs, folders of
// reports) with their state, kind, number of entries and path, and the
// buttons that add, remove and refresh them. The work runs on the
// catalogue's thread; the list follows its SourcesChanged answers.
// The check box switches [Catalogue] AddReports at once.
class CCatalogueSourcesDlg : public QDialog {
    Q_OBJECT
public:
    CCatalogueSourcesDlg(CCatalogueThread& catalogue, CSettingsStore& settings, CHelpViewer& help,
                         QWidget* parent = nullptr);

    QTreeWidget* List() const { return m_pList; }
    // The rows as "state\tkind\tentries\tpath", for the tests and the eye.
    QStringList Rows() const;

private:
    void ShowSources(const std::vector<CSourceInfo>& sources);
    void OnAddFolder();
    void OnAddFiles();
    void OnRemove();

    CCatalogueThread& m_catalogue;
    CSettingsStore& m_settings;
    QTreeWidget* m_pList = nullptr;
    QPushButton* m_pRemove = nullptr;
    QCheckBox* m_pAddReports = nullptr;
};

#pragma once

#include "CatalogueThread.h"
#include "FindHitModel.h"

#include <QTimer>
#include <QWidget>

#include <optional>

class CCatalogueSourcesDlg;
class CHelpViewer;
class CSettingsStore;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

// The Find window: a search field whose text is searched in the catalogue
// as the user types (every word must occur in a name, ignoring case; a text
// with *, ? or [ is one pattern for the whole name), filters for the kind
// and the medium, the hits in a table and the number of hits in the status
// line. Queries run on the catalogue's thread; the window takes their
// answers as queued calls and drops those of queries it has replaced.
// Its size and column widths are kept in [Catalogue], written on close.
class CFindWindow : public QWidget {
    Q_OBJECT
public:
    // Milliseconds of quiet after a keystroke before the query starts.
    static constexpr int kTypingPauseMs = 30;

    CFindWindow(CCatalogueThread& catalogue, CSettingsStore& settings, CHelpViewer& help,
                QWidget* parent = nullptr);
    ~CFindWindow() override;

    // Adds report files and folders to the catalogue and reads them in the
    // background, as a drop onto the window does.
    void AddPaths(const std::vector<std::string>& paths);
    void ShowSources();

    QLineEdit* SearchField() const { return m_pSearch; }
    QTableView* Table() const { return m_pTable; }
    CFindHitModel& Model() { return m_model; }
    QString StatusText() const;
    CCatalogueSourcesDlg* SourcesDialog() const { return m_pSources; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void StartQuery();
    void OnFound(const CFindAnswer& answer);
    void OnCopiesFound(quint64 generation, std::size_t offset, const std::vector<std::uint32_t>& copies);
    void OnMoreWanted(std::size_t offset, std::size_t count);
    void OnSortChanged(int section, Qt::SortOrder order);
    void OnProgress(int done, int total);
    void OnActivated(const QModelIndex& index);
    void OnContextMenu(const QPoint& position);
    void ShowCount();
    void SetStatus(const QString& text);
    void RestoreLayout();
    void SaveLayout();

    CCatalogueThread& m_catalogue;
    CSettingsStore& m_settings;
    CHelpViewer& m_help;
    CFindHitModel m_model;
    QLineEdit* m_pSearch = nullptr;
    QComboBox* m_pKinds = nullptr;
    QLineEdit* m_pMedium = nullptr;
    QPushButton* m_pReports = nullptr;
    QTableView* m_pTable = nullptr;
    QLabel* m_pStatus = nullptr;
    CCatalogueSourcesDlg* m_pSources = nullptr; // a child, made at the first Reports...
    QTimer m_typingPause;

    CFindQuery m_query;
    bool m_bQueryEmpty = true;
    quint64 m_nGeneration = 0;
    std::optional<FindHitField> m_sort;
    bool m_bDescending = false;
    std::size_t m_nReports = 0;
    bool m_bSortRefused = false;
    bool m_bReading = false;
};

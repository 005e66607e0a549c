#pragma once

#include "FindQuery.h"

#include <QAbstractTableModel>
#include <QLocale>

#include <vector>

// The hits of one query as table rows: Name, Size, Date, Time, Medium,
// Folder, Copies, Report. It holds the hits fetched so far; when the view wants
// more (canFetchMore/fetchMore) it asks for them with MoreWanted and takes
// them in with Append, so a million hits are never fetched at once.
// User-interface thread only.
class CFindHitModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Name, Size, Date, Time, Medium, Folder, Copies, Report, ColumnCount };
    // Hits asked for at a time; later requests take as many as are held, so
    // scrolling far costs a few requests, not one per page.
    static constexpr std::size_t kFirstFetch = 500;

    explicit CFindHitModel(QObject* parent = nullptr);

    // Starts over with the first hits of a query and its total; complete
    // says every hit is held (a sorted list), so nothing more is fetched.
    void Reset(std::vector<CFindHit> hits, std::uint64_t total, bool complete);
    void Clear();
    // Hits from the row the last MoreWanted asked at.
    void Append(std::vector<CFindHit> hits);
    // The copy counts of the rows from `row` on, as they came after their hits.
    void SetCopies(std::size_t row, const std::vector<std::uint32_t>& copies);

    const CFindHit* HitAt(int row) const;
    std::uint64_t Total() const { return m_nTotal; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

signals:
    void MoreWanted(std::size_t offset, std::size_t count);

private:
    std::vector<CFindHit> m_arrHits;
    std::uint64_t m_nTotal = 0;
    bool m_bComplete = true;
    bool m_bFetching = false;
    QStringList m_arrHeaders;
    QLocale m_locale;
};

#include "FindHitModel.h"

#include "UiText.h"
#include "Utf8.h"
#include "Windows1252.h"

#include <algorithm>

namespace {

QString Shown(const std::string& bytes, bool windows1252) {
    std::string utf8;
    Windows1252::AppendShown(utf8, Utf8::Printable(bytes), windows1252 || !Windows1252::IsValidUtf8(bytes));
    return ToQString(utf8);
}

} // namespace

CFindHitModel::CFindHitModel(QObject* parent)
    : QAbstractTableModel(parent), m_arrHeaders(Text(IDS_FIND_COLUMNS).split(QLatin1Char('\t'))),
      m_locale(QLocale::system()) {}

void CFindHitModel::Reset(std::vector<CFindHit> hits, std::uint64_t total, bool complete) {
    beginResetModel();
    m_arrHits = std::move(hits);
    m_nTotal = total;
    m_bComplete = complete || m_arrHits.size() >= total;
    m_bFetching = false;
    endResetModel();
}

void CFindHitModel::Clear() { Reset({}, 0, true); }

void CFindHitModel::Append(std::vector<CFindHit> hits) {
    m_bFetching = false;
    if (hits.empty()) {
        m_bComplete = true; // the catalogue changed under the query: no more to come
        return;
    }
    const int first = rowCount();
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(hits.size()) - 1);
    std::move(hits.begin(), hits.end(), std::back_inserter(m_arrHits));
    endInsertRows();
    m_bComplete = m_bComplete || m_arrHits.size() >= m_nTotal;
}

void CFindHitModel::SetCopies(std::size_t row, const std::vector<std::uint32_t>& copies) {
    const std::size_t end = std::min(m_arrHits.size(), row + copies.size());
    if (row >= end) {
        return;
    }
    for (std::size_t r = row; r < end; ++r) {
        m_arrHits[r].m_nCopies = m_arrHits[r].m_bFolder ? 0 : copies[r - row];
    }
    emit dataChanged(index(static_cast<int>(row), Copies), index(static_cast<int>(end - 1), Copies));
}

const CFindHit* CFindHitModel::HitAt(int row) const {
    return row >= 0 && static_cast<std::size_t>(row) < m_arrHits.size() ? &m_arrHits[static_cast<std::size_t>(row)]
                                                                        : nullptr;
}

int CFindHitModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_arrHits.size());
}

int CFindHitModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant CFindHitModel::data(const QModelIndex& index, int role) const {
    const CFindHit* hit = HitAt(index.row());
    if (hit == nullptr) {
        return {};
    }
    if (role == Qt::TextAlignmentRole) {
        return index.column() == Size || index.column() == Copies ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) {
        return {};
    }
    switch (index.column()) {
    case Name: return Shown(hit->m_strName, hit->m_bWindows1252);
    case Size: return hit->m_bFolder ? QString() : m_locale.toString(static_cast<qulonglong>(hit->m_nSize));
    case Date: return Shown(hit->m_strDate, hit->m_bWindows1252);
    case Time: return Shown(hit->m_strTime, hit->m_bWindows1252);
    case Medium: return Shown(hit->m_strMedium, false);
    case Folder: return Shown(hit->m_strFolder, hit->m_bFolderWindows1252);
    case Copies: return hit->m_bFolder || hit->m_nCopies == 0 ? QString() : QString::number(hit->m_nCopies);
    case Report: return PathToQString(hit->m_strReport) + QLatin1Char(':') + QString::number(hit->m_nLine);
    default: return {};
    }
}

QVariant CFindHitModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_arrHeaders.size()) {
        return m_arrHeaders[section];
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

bool CFindHitModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && !m_bComplete && !m_bFetching;
}

void CFindHitModel::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent)) {
        return;
    }
    m_bFetching = true;
    emit MoreWanted(m_arrHits.size(), std::max(kFirstFetch, m_arrHits.size()));
}

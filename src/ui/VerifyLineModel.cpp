#include "VerifyLineModel.h"

#include "UiText.h"

CVerifyLineModel::CVerifyLineModel(const std::vector<CVerifyLine>& lines, QObject* parent)
    : QAbstractTableModel(parent), m_lines(lines),
      m_headers(::Text(IDS_VERIFY_COLUMNS).split(QLatin1Char('\t'))) {}

void CVerifyLineModel::ShowKind(std::optional<VerifyKind> kind) {
    beginResetModel();
    m_kind = kind;
    m_shown.clear();
    if (kind) {
        for (std::size_t i = 0; i < m_lines.size(); ++i) {
            if (m_lines[i].m_kind == *kind) {
                m_shown.push_back(i);
            }
        }
        m_shown.shrink_to_fit();
    }
    endResetModel();
}

std::size_t CVerifyLineModel::LineIndex(int row) const {
    const auto at = static_cast<std::size_t>(row);
    return m_kind ? m_shown[at] : at;
}

const CVerifyLine& CVerifyLineModel::LineAt(int row) const { return m_lines[LineIndex(row)]; }

std::string CVerifyLineModel::Text(const std::vector<int>& rows) const {
    std::string text;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i > 0) {
            text.push_back('\n');
        }
        text += VerifyText::Line(LineAt(rows[i]));
    }
    return text;
}

std::string CVerifyLineModel::ShownLines() const {
    std::string text;
    const int rows = rowCount();
    for (int row = 0; row < rows; ++row) {
        text += VerifyText::Line(LineAt(row));
        text.push_back('\n');
    }
    return text;
}

int CVerifyLineModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) {
        return 0;
    }
    return static_cast<int>(m_kind ? m_shown.size() : m_lines.size());
}

int CVerifyLineModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant CVerifyLineModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) {
        return {};
    }
    const CVerifyLine& line = LineAt(index.row());
    switch (index.column()) {
    case Kind: {
        const std::string_view name = VerifyText::KindName(line.m_kind);
        return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    }
    case Path:
        return PathToQString(line.m_strPath);
    case Detail:
        return ToQString(line.m_strDetail);
    default:
        return {};
    }
}

QVariant CVerifyLineModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_headers.size()) {
        return m_headers.at(section);
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

#pragma once

#include "VerifyLine.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <optional>
#include <string>
#include <vector>

// The lines of a check as table rows (Kind, Path, Detail), all of them or
// those of one kind. The lines are not copied: the owner keeps them alive
// and unchanged for the model's life. Rows are indexes, so a million lines
// cost one index each when filtered and nothing when not.
// User-interface thread only.
class CVerifyLineModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Kind, Path, Detail, ColumnCount };

    explicit CVerifyLineModel(const std::vector<CVerifyLine>& lines, QObject* parent = nullptr);

    // None: every line.
    void ShowKind(std::optional<VerifyKind> kind);
    std::optional<VerifyKind> ShownKind() const { return m_kind; }

    const CVerifyLine& LineAt(int row) const;
    std::size_t LineCount() const { return m_lines.size(); }
    // The rows' lines as stowlist-cli verify prints them, joined by "\n"
    // (no line end after the last); rows must be valid, in any order.
    std::string Text(const std::vector<int>& rows) const;
    // Every shown row, each line ending in "\n".
    std::string ShownLines() const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::size_t LineIndex(int row) const;

    const std::vector<CVerifyLine>& m_lines;
    std::optional<VerifyKind> m_kind;
    std::vector<std::size_t> m_shown; // the lines of m_kind, when set
    QStringList m_headers;
};

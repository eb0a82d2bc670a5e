#pragma once
#include "data/datasets/ColumnData.h"

#include <optional>
#include <vector>

/// The rows of a dataset in its order: storage rows sorted stably by some of
/// the columns, and the range of them the dataset holds now, all of them or
/// those whose leading sort columns equal a key (nulls equal each other).
/// Positions count from the start of that range.
class RowIndex {
public:
    using Key = std::vector<QVariant>;

    /// Storage order, no sort columns, every row held.
    void reset(int storageRows);
    void clear() { reset(0); }
    /// Sorts by these columns, unless they are the ones in force already.
    void sortBy(const std::vector<ColumnData> &columns, const std::vector<int> &sortColumns);
    const std::vector<int> &sortColumns() const { return m_sortColumns; }
    /// Holds the rows of the key, or every row without one.
    void restrict(const std::vector<ColumnData> &columns, const std::optional<Key> &key);
    const std::optional<Key> &restriction() const { return m_restriction; }

    int size() const { return m_hi - m_lo; }
    int storageRow(int position) const { return m_order[m_lo + position]; }
    /// Position of a storage row in the range, or -1.
    int find(int storageRow) const;
    /// Puts a row into the range at a position (a new row, not yet sorted in).
    void insert(int position, int storageRow);
    void erase(int position);
    /// A row whose key may have changed moves to where its key belongs; the
    /// restriction is applied again. True when the row moved.
    bool place(const std::vector<ColumnData> &columns, int storageRow);

private:
    int compareRows(const std::vector<ColumnData> &columns, int a, int b) const;
    int compareKey(const std::vector<ColumnData> &columns, int storageRow, const Key &key) const;

    std::vector<int> m_order;
    std::vector<int> m_sortColumns;
    std::optional<Key> m_restriction;
    int m_lo = 0, m_hi = 0;
};

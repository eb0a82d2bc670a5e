#include "data/datasets/RowIndex.h"

#include <algorithm>
#include <numeric>
#include <utility>

void RowIndex::reset(int storageRows) {
    m_order.resize(storageRows);
    std::iota(m_order.begin(), m_order.end(), 0);
    m_sortColumns.clear();
    m_restriction.reset();
    m_lo = 0;
    m_hi = storageRows;
}

int RowIndex::compareRows(const std::vector<ColumnData> &columns, int a, int b) const {
    for (int column : m_sortColumns) {
        const int c = columns[column].compareRows(a, b);
        if (c != 0)
            return c;
    }
    return 0;
}

int RowIndex::compareKey(const std::vector<ColumnData> &columns, int storageRow, const Key &key) const {
    for (size_t i = 0; i < key.size() && i < m_sortColumns.size(); ++i) {
        const int c = columns[m_sortColumns[i]].compareWith(storageRow, key[i]);
        if (c != 0)
            return c;
    }
    return 0;
}

namespace {
/// A stable sort of rows by one column of integers, nulls first: a radix sort
/// of the values' distances from the smallest, sixteen bits a pass, so a
/// million rows cost a few passes over them instead of twenty million
/// comparisons. False, and nothing done, for a column of another kind.
bool sortByIntegers(const ColumnData &column, std::vector<int> &order) {
    if (column.kind() != ColumnData::Kind::Integer)
        return false;
    std::vector<int> rows, nulls;
    std::vector<qint64> values;
    rows.reserve(order.size());
    values.reserve(order.size());
    for (int row : order) {
        if (column.isNull(row)) {
            nulls.push_back(row);
        } else {
            rows.push_back(row);
            values.push_back(column.get(row).toLongLong());
        }
    }
    std::vector<quint64> keys(values.size());
    if (!values.empty()) {
        const qint64 least = *std::min_element(values.begin(), values.end());
        for (std::size_t i = 0; i < values.size(); ++i)
            keys[i] = static_cast<quint64>(values[i]) - static_cast<quint64>(least);
    }
    const quint64 widest = keys.empty() ? 0 : *std::max_element(keys.begin(), keys.end());
    std::vector<quint64> keysTo(keys.size());
    std::vector<int> rowsTo(rows.size());
    std::vector<std::size_t> starts(1 << 16);
    for (int shift = 0; shift < 64 && (widest >> shift) != 0; shift += 16) {
        std::fill(starts.begin(), starts.end(), 0);
        for (quint64 key : keys)
            ++starts[(key >> shift) & 0xFFFF];
        std::size_t at = 0;
        for (std::size_t &start : starts)
            at += std::exchange(start, at);
        for (std::size_t i = 0; i < keys.size(); ++i) {
            const std::size_t to = starts[(keys[i] >> shift) & 0xFFFF]++;
            keysTo[to] = keys[i];
            rowsTo[to] = rows[i];
        }
        keys.swap(keysTo);
        rows.swap(rowsTo);
    }
    std::copy(nulls.begin(), nulls.end(), order.begin());
    std::copy(rows.begin(), rows.end(), order.begin() + static_cast<std::ptrdiff_t>(nulls.size()));
    return true;
}
} // namespace

void RowIndex::sortBy(const std::vector<ColumnData> &columns, const std::vector<int> &sortColumns) {
    if (sortColumns == m_sortColumns)
        return;
    m_sortColumns = sortColumns;
    if (!m_sortColumns.empty() && !(m_sortColumns.size() == 1 && sortByIntegers(columns[m_sortColumns[0]], m_order)))
        std::stable_sort(m_order.begin(), m_order.end(), [&](int a, int b) { return compareRows(columns, a, b) < 0; });
    restrict(columns, m_restriction);
}

void RowIndex::restrict(const std::vector<ColumnData> &columns, const std::optional<Key> &key) {
    m_restriction = key;
    if (!key) {
        m_lo = 0;
        m_hi = static_cast<int>(m_order.size());
        return;
    }
    const auto lower = std::partition_point(m_order.begin(), m_order.end(),
                                            [&](int row) { return compareKey(columns, row, *key) < 0; });
    const auto upper =
        std::partition_point(lower, m_order.end(), [&](int row) { return compareKey(columns, row, *key) == 0; });
    m_lo = static_cast<int>(lower - m_order.begin());
    m_hi = static_cast<int>(upper - m_order.begin());
}

int RowIndex::find(int storageRow) const {
    for (int i = m_lo; i < m_hi; ++i)
        if (m_order[i] == storageRow)
            return i - m_lo;
    return -1;
}

void RowIndex::insert(int position, int storageRow) {
    m_order.insert(m_order.begin() + m_lo + position, storageRow);
    ++m_hi;
}

void RowIndex::erase(int position) {
    m_order.erase(m_order.begin() + m_lo + position);
    --m_hi;
}

bool RowIndex::place(const std::vector<ColumnData> &columns, int storageRow) {
    if (m_sortColumns.empty())
        return false;
    // Sorted by the index the restriction stays a range: a row whose key
    // changed moves to where its key belongs.
    const auto at = std::find(m_order.begin(), m_order.end(), storageRow);
    if (at == m_order.end())
        return false;
    const int index = static_cast<int>(at - m_order.begin());
    const int last = static_cast<int>(m_order.size()) - 1;
    const bool afterPrevious = index == 0 || compareRows(columns, m_order[index - 1], storageRow) <= 0;
    const bool beforeNext = index == last || compareRows(columns, storageRow, m_order[index + 1]) <= 0;
    if (afterPrevious && beforeNext)
        return false;
    m_order.erase(at);
    const auto to = std::upper_bound(m_order.begin(), m_order.end(), storageRow,
                                     [&](int a, int b) { return compareRows(columns, a, b) < 0; });
    m_order.insert(to, storageRow);
    restrict(columns, m_restriction);
    return true;
}

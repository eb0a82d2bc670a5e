#pragma once
#include "data/datasets/ColumnData.h"
#include "data/datasets/SqlDialect.h"

#include <QList>
#include <QString>
#include <optional>
#include <vector>

/// The ORDER BY that ends a statement, when it is a list of plain names each
/// with its direction; what comes before it is the statement's row set.
struct OrderClause {
    struct Term {
        QString name;
        bool descending = false;
    };
    /// The statement without its ORDER BY, runs of blanks in code folded to
    /// one; the whole statement when its ORDER BY is more than plain names.
    QString rows;
    QList<Term> terms;
    /// False when an ORDER BY was there but not of plain names.
    bool plain = true;

    static OrderClause of(const QString &sql);
};

namespace RowOrder {
/// One key of an ordering: a column of the rows and its direction.
struct Key {
    int column = -1;
    bool descending = false;
};
/// The rows in the order a store gives them under `rules`: the held row for
/// each new position. Rows of equal keys come by the row key column
/// (`tieColumn`) where the rules say the store does so; otherwise equal keys
/// have no order that can be told and nothing is returned, as it is when a
/// key column cannot promise the store's order of its values.
std::optional<std::vector<int>> order(const std::vector<ColumnData> &columns, const std::vector<Key> &keys,
                                      int tieColumn, const SqlDialect::OrderRules &rules);
} // namespace RowOrder

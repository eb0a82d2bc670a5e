#pragma once
#include <QList>
#include <QString>
#include <QStringList>

/// Small, quote-aware readings of a SELECT statement: which tables it reads and
/// whether each result row stands for one row of a table.
namespace SqlText {
struct TableRef {
    QString table;
    QString alias; ///< empty when the statement gives none
};

/// The tables named after FROM, JOIN, INTO and UPDATE, in order.
QList<TableRef> tableReferences(const QString &sql);
/// Whether rows are computed over several table rows (aggregates, grouping,
/// DISTINCT, set operations), so no row can be written back.
bool isAggregate(const QString &sql);
/// The statement with `expression AS "__rowkey"` as its first result column,
/// then each of `alongside` as "__along1", "__along2"…; empty when that is not
/// possible.
QString withRowKey(const QString &sql, const QString &expression, const QStringList &alongside = {});
/// The items of a statement's select list as written, or nothing when the list
/// holds a star (its columns cannot be told apart by position).
QStringList selectItems(const QString &sql);
/// Text with literals, quoted names and comments blanked out (same length),
/// for keyword searches.
QString codeOnly(const QString &sql);
/// The name inside brackets, quotes or back quotes (a doubled quote as one),
/// or the name as it is.
QString unquoteName(const QString &name);

inline const char *rowKeyName = "__rowkey";
/// The column that gives a table without a key of its own a row key the store
/// never hands out twice. It is read, never shown: no field is made of it.
inline const char *storeKeyColumn = "RowKey";
} // namespace SqlText

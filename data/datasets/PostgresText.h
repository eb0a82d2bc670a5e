#pragma once
#include <QString>

/// The data module's statements in PostgreSQL's spelling, everything else as
/// written: a single-quoted column alias becomes a quoted name, `[name]` a
/// quoted name (its own case after AS, lower case elsewhere, as PostgreSQL
/// folds the schema's unquoted names), and `Convert(char(n), e, style)` the
/// same padded text through to_char. Text inside literals, double-quoted names
/// and comments is never touched, and an apostrophe in a name or a comment
/// starts no literal.
namespace PostgresText {
QString rewrite(const QString &sql);
} // namespace PostgresText

#pragma once
#include <QString>

/// The data module's statements in PostgreSQL's spelling, everything else as
/// written: a single-quoted column alias becomes a quoted name, `[name]` a
/// quoted name (its own case after AS, lower case elsewhere, as PostgreSQL
/// folds the schema's unquoted names), and `Convert(char(n), e, style)` the
/// same padded text through to_char. Literals, quoted names and comments, as
/// StatementScanner reads them, are never touched.
namespace PostgresText {
QString rewrite(const QString &sql);
} // namespace PostgresText

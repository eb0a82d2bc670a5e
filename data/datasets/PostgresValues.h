#pragma once
#include "data/datasets/ColumnData.h"
#include "data/datasets/FieldType.h"

#include <QByteArray>
#include <QVariant>

/// Values as the PostgreSQL client library exchanges them in text form, by the
/// type number the server gives each column and parameter.
namespace PostgresValues {
enum class Kind { Integer, Real, Boolean, Date, Timestamp, Bytes, Locator, Text };

Kind kindOf(unsigned type);
/// The field type of a table column of that type; `modifier` carries the
/// declared width of character types.
FieldType fieldType(unsigned type, int modifier, int *size);
/// One value read, as the layer keeps it; text it cannot read stays text.
QVariant value(const char *text, int length, Kind kind);
/// Appends one value read to a fetched column without an intermediate variant
/// where the kind allows.
void append(ColumnData &column, const char *text, int length, Kind kind, FieldType type);
/// A bound value in the server's text form (bytes as they are).
QByteArray parameterText(const QVariant &value);
} // namespace PostgresValues

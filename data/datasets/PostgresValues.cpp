#include "data/datasets/PostgresValues.h"
#include "data/datasets/DateText.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <charconv>
#include <libpq-fe.h>

namespace {
// Type numbers fixed by the server's catalogue.
enum : unsigned {
    BoolOid = 16,
    ByteaOid = 17,
    Int8Oid = 20,
    Int2Oid = 21,
    Int4Oid = 23,
    OidOid = 26,
    TidOid = 27,
    Float4Oid = 700,
    Float8Oid = 701,
    BpcharOid = 1042,
    VarcharOid = 1043,
    TextOid = 25,
    DateOid = 1082,
    TimestampOid = 1114,
    TimestamptzOid = 1184,
    NumericOid = 1700,
};

// "yyyy-mm-dd" as a Julian day; false for anything else (BC, infinity).
bool isoDay(const char *text, int length, qint64 *day) { return julianDayOfIso(text, length, day); }
} // namespace

PostgresValues::Kind PostgresValues::kindOf(unsigned type) {
    switch (type) {
    case Int2Oid:
    case Int4Oid:
    case Int8Oid:
    case OidOid: return Kind::Integer;
    case Float4Oid:
    case Float8Oid:
    case NumericOid: return Kind::Real;
    case BoolOid: return Kind::Boolean;
    case DateOid: return Kind::Date;
    case TimestampOid:
    case TimestamptzOid: return Kind::Timestamp;
    case ByteaOid: return Kind::Bytes;
    case TidOid: return Kind::Locator;
    default: return Kind::Text;
    }
}

FieldType PostgresValues::fieldType(unsigned type, int modifier, int *size) {
    *size = 0;
    switch (type) {
    case BpcharOid: *size = modifier > 4 ? modifier - 4 : 0; return FieldType::FixedWideChar;
    case VarcharOid: *size = modifier > 4 ? modifier - 4 : 0; return FieldType::WideString;
    case TextOid: return FieldType::WideString;
    default: break;
    }
    switch (kindOf(type)) {
    case Kind::Integer: return FieldType::Integer;
    case Kind::Real: return FieldType::Float;
    case Kind::Boolean: return FieldType::Boolean;
    case Kind::Date: return FieldType::Date;
    case Kind::Timestamp: return FieldType::DateTime;
    case Kind::Bytes: return FieldType::Blob;
    default: return FieldType::WideString;
    }
}

QVariant PostgresValues::value(const char *text, int length, Kind kind) {
    switch (kind) {
    case Kind::Integer: {
        qint64 v = 0;
        if (std::from_chars(text, text + length, v).ptr == text + length)
            return v;
        break;
    }
    case Kind::Real: {
        double v = 0;
        if (std::from_chars(text, text + length, v).ptr == text + length)
            return v;
        break;
    }
    case Kind::Boolean: return length == 1 && text[0] == 't';
    case Kind::Date: {
        qint64 day = 0;
        if (isoDay(text, length, &day))
            return QDate::fromJulianDay(day);
        break;
    }
    case Kind::Timestamp: {
        const QString iso = QString::fromLatin1(text, length);
        QDateTime dt = QDateTime::fromString(iso.left(19), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (dt.isValid())
            return dt;
        break;
    }
    case Kind::Bytes: {
        size_t size = 0;
        unsigned char *raw = PQunescapeBytea(reinterpret_cast<const unsigned char *>(text), &size);
        if (raw) {
            QByteArray bytes(reinterpret_cast<const char *>(raw), static_cast<qsizetype>(size));
            PQfreemem(raw);
            return bytes;
        }
        break;
    }
    default: break;
    }
    return textFromUtf8(text, length);
}

void PostgresValues::append(ColumnData &column, const char *text, int length, Kind kind, FieldType type) {
    switch (kind) {
    case Kind::Integer: {
        qint64 v = 0;
        if (std::from_chars(text, text + length, v).ptr == text + length) {
            column.appendInteger(v);
            return;
        }
        break;
    }
    case Kind::Real: {
        double v = 0;
        if (std::from_chars(text, text + length, v).ptr == text + length) {
            column.appendReal(v);
            return;
        }
        break;
    }
    case Kind::Date: {
        qint64 day = 0;
        if (type == FieldType::Date && isoDay(text, length, &day)) {
            column.appendDay(day);
            return;
        }
        break;
    }
    case Kind::Text:
    case Kind::Locator: column.appendUtf8(text, length); return;
    default: break;
    }
    column.append(value(text, length, kind));
}

QByteArray PostgresValues::parameterText(const QVariant &value) {
    switch (value.typeId()) {
    case QMetaType::Bool: return value.toBool() ? "true" : "false";
    case QMetaType::Double:
    case QMetaType::Float: {
        const double v = value.toDouble();
        if (qIsNaN(v))
            return "NaN";
        if (qIsInf(v))
            return v > 0 ? "Infinity" : "-Infinity";
        return QByteArray::number(v, 'g', QLocale::FloatingPointShortest);
    }
    case QMetaType::QByteArray: return value.toByteArray();
    default: return value.toString().toUtf8();
    }
}

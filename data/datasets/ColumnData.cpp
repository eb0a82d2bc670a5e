#include "data/datasets/ColumnData.h"

#include <QDate>
#include <QDateTime>
#include <QStringDecoder>
#include <algorithm>
#include <cstring>

namespace {
bool isNumber(const QVariant &v) {
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong: return true;
    default: return false;
    }
}

bool isIntegral(const QVariant &v) {
    return isNumber(v) && v.typeId() != QMetaType::Double && v.typeId() != QMetaType::Float;
}

template <typename T> int threeWay(const T &a, const T &b) { return a < b ? -1 : (b < a ? 1 : 0); }
} // namespace

ColumnData::Kind ColumnData::kindFor(FieldType type) {
    switch (type) {
    case FieldType::Integer:
    case FieldType::AutoInc: return Kind::Integer;
    case FieldType::Float: return Kind::Real;
    case FieldType::Date: return Kind::Date;
    case FieldType::DateTime: return Kind::DateTime;
    case FieldType::String:
    case FieldType::FixedChar:
    case FieldType::WideString:
    case FieldType::FixedWideChar:
    case FieldType::Memo:
    // A computed column (a date as text) is most often text; a value of another
    // kind turns it into plain values at once.
    case FieldType::Unknown: return Kind::Text;
    default: return Kind::Variant;
    }
}

void ColumnData::reserve(int rows) {
    m_null.reserve(rows);
    switch (m_kind) {
    case Kind::Integer:
    case Kind::Date:
    case Kind::DateTime: m_ints.reserve(rows); break;
    case Kind::Real: m_reals.reserve(rows); break;
    case Kind::Text: m_texts.reserve(rows); break;
    case Kind::Variant: m_variants.reserve(rows); break;
    }
}

void ColumnData::clear() {
    m_words.clear();
    m_wordNumbers.clear();
    m_recent.clear();
    m_null.clear();
    m_ints.clear();
    m_reals.clear();
    m_texts.clear();
    m_variants.clear();
}

void ColumnData::truncate(int rows) {
    m_null.resize(rows);
    switch (m_kind) {
    case Kind::Integer:
    case Kind::Date:
    case Kind::DateTime: m_ints.resize(rows); break;
    case Kind::Real: m_reals.resize(rows); break;
    case Kind::Text: m_texts.resize(rows); break;
    case Kind::Variant: m_variants.resize(rows); break;
    }
}

bool ColumnData::fits(const QVariant &v) const {
    if (v.isNull())
        return true;
    switch (m_kind) {
    case Kind::Integer:
        if (isIntegral(v))
            return true;
        if (v.typeId() == QMetaType::Double) {
            const double d = v.toDouble();
            return d == static_cast<double>(static_cast<qint64>(d));
        }
        return false;
    case Kind::Real: return isNumber(v);
    case Kind::Text: return v.typeId() == QMetaType::QString;
    case Kind::Date: return v.typeId() == QMetaType::QDate && v.toDate().isValid();
    case Kind::DateTime: return v.typeId() == QMetaType::QDateTime && v.toDateTime().isValid();
    case Kind::Variant: return true;
    }
    return true;
}

void ColumnData::becomeVariant() {
    std::vector<QVariant> values;
    values.reserve(m_null.capacity());
    for (int row = 0; row < size(); ++row)
        values.push_back(get(row));
    m_kind = Kind::Variant;
    m_ints.clear();
    m_reals.clear();
    m_texts.clear();
    m_words.clear();
    m_wordNumbers.clear();
    m_recent.clear();
    m_variants = std::move(values);
}

void ColumnData::store(int row, const QVariant &v) {
    const bool null = v.isNull();
    m_null[row] = null ? 1 : 0;
    switch (m_kind) {
    case Kind::Integer: m_ints[row] = null ? 0 : v.toLongLong(); break;
    case Kind::Real: m_reals[row] = null ? 0.0 : v.toDouble(); break;
    case Kind::Text: {
        m_texts[row] = null ? 0 : wordOf(v.toString());
        break;
    }
    case Kind::Date: m_ints[row] = null ? 0 : v.toDate().toJulianDay(); break;
    case Kind::DateTime: m_ints[row] = null ? 0 : v.toDateTime().toMSecsSinceEpoch(); break;
    case Kind::Variant: m_variants[row] = v; break;
    }
}

void ColumnData::append(const QVariant &value) {
    if (!fits(value))
        becomeVariant();
    m_null.push_back(0);
    switch (m_kind) {
    case Kind::Integer:
    case Kind::Date:
    case Kind::DateTime: m_ints.push_back(0); break;
    case Kind::Real: m_reals.push_back(0.0); break;
    case Kind::Text: m_texts.push_back(0); break;
    case Kind::Variant: m_variants.emplace_back(); break;
    }
    store(size() - 1, value);
}

quint32 ColumnData::wordOf(const QString &text) {
    // Past many distinct texts the column holds unique ones: stop looking them up.
    if (m_wordNumbers.size() < 100000) {
        const auto it = m_wordNumbers.constFind(text);
        if (it != m_wordNumbers.constEnd())
            return it.value();
        m_wordNumbers.insert(text, static_cast<quint32>(m_words.size()));
    }
    m_words.push_back(text);
    return static_cast<quint32>(m_words.size() - 1);
}

void ColumnData::appendInteger(qint64 value) {
    if (m_kind == Kind::Integer) {
        m_null.push_back(0);
        m_ints.push_back(value);
    } else if (m_kind == Kind::Real) {
        m_null.push_back(0);
        m_reals.push_back(static_cast<double>(value));
    } else {
        append(QVariant(value));
    }
}

void ColumnData::appendReal(double value) {
    if (m_kind != Kind::Real) {
        append(QVariant(value));
        return;
    }
    m_null.push_back(0);
    m_reals.push_back(value);
}

void ColumnData::appendText(const QString &value) {
    if (m_kind != Kind::Text) {
        append(QVariant(value));
        return;
    }
    m_null.push_back(0);
    m_texts.push_back(wordOf(value));
}

void ColumnData::appendUtf8(const char *bytes, int length) {
    if (m_kind != Kind::Text) {
        append(QVariant(textFromUtf8(bytes, length)));
        return;
    }
    constexpr size_t recentSlots = 1024;
    if (m_recent.empty())
        m_recent.resize(recentSlots);
    std::uint32_t hash = 2166136261u ^ static_cast<std::uint32_t>(length);
    for (int i = 0; i < length && i < 24; ++i)
        hash = (hash ^ static_cast<unsigned char>(bytes[i])) * 16777619u;
    RecentText &recent = m_recent[hash & (recentSlots - 1)];
    if (!recent.used || recent.bytes.size() != length || std::memcmp(bytes, recent.bytes.constData(), length) != 0) {
        recent.bytes = QByteArray(bytes, length);
        recent.word = wordOf(textFromUtf8(bytes, length));
        recent.used = true;
    }
    m_null.push_back(0);
    m_texts.push_back(recent.word);
}

int ColumnData::longestText() const {
    if (m_kind != Kind::Text || m_words.empty())
        return -1;
    int longest = 0;
    for (const QString &word : m_words)
        longest = std::max(longest, static_cast<int>(word.size()));
    return longest;
}

void ColumnData::appendDay(qint64 julianDay) {
    if (m_kind != Kind::Date) {
        append(QVariant(QDate::fromJulianDay(julianDay)));
        return;
    }
    m_null.push_back(0);
    m_ints.push_back(julianDay);
}

void ColumnData::appendColumn(const ColumnData &other) {
    if (other.m_kind != m_kind || m_kind == Kind::Variant) {
        // Kinds part when a stretch held a value of another kind: value by value.
        for (int row = 0; row < other.size(); ++row)
            append(other.get(row));
        return;
    }
    m_null.insert(m_null.end(), other.m_null.begin(), other.m_null.end());
    switch (m_kind) {
    case Kind::Integer:
    case Kind::Date:
    case Kind::DateTime: m_ints.insert(m_ints.end(), other.m_ints.begin(), other.m_ints.end()); break;
    case Kind::Real: m_reals.insert(m_reals.end(), other.m_reals.begin(), other.m_reals.end()); break;
    case Kind::Text: {
        std::vector<quint32> words(other.m_words.size());
        for (std::size_t word = 0; word < words.size(); ++word)
            words[word] = wordOf(other.m_words[word]);
        m_texts.reserve(m_texts.size() + other.m_texts.size());
        for (std::size_t row = 0; row < other.m_texts.size(); ++row)
            m_texts.push_back(other.m_null[row] ? 0 : words[other.m_texts[row]]);
        break;
    }
    case Kind::Variant: break;
    }
}

void ColumnData::set(int row, const QVariant &value) {
    if (!fits(value))
        becomeVariant();
    store(row, value);
}

QVariant ColumnData::get(int row) const {
    if (m_kind == Kind::Variant)
        return m_variants[row];
    if (m_null[row])
        return QVariant();
    switch (m_kind) {
    case Kind::Integer: return QVariant(m_ints[row]);
    case Kind::Real: return QVariant(m_reals[row]);
    case Kind::Text: return QVariant(m_words[m_texts[row]]);
    case Kind::Date: return QVariant(QDate::fromJulianDay(m_ints[row]));
    case Kind::DateTime: return QVariant(QDateTime::fromMSecsSinceEpoch(m_ints[row]));
    case Kind::Variant: break;
    }
    return QVariant();
}

int ColumnData::compareRows(int a, int b) const {
    const bool na = isNull(a), nb = isNull(b);
    if (na || nb)
        return na == nb ? 0 : (na ? -1 : 1);
    switch (m_kind) {
    case Kind::Integer:
    case Kind::Date:
    case Kind::DateTime: return threeWay(m_ints[a], m_ints[b]);
    case Kind::Real: return threeWay(m_reals[a], m_reals[b]);
    case Kind::Text:
        return m_texts[a] == m_texts[b] ? 0
                                        : threeWay(QStringView(m_words[m_texts[a]]).compare(m_words[m_texts[b]]), 0);
    case Kind::Variant: break;
    }
    return compareValues(m_variants[a], m_variants[b]);
}

int ColumnData::compareWith(int row, const QVariant &value) const {
    const bool na = isNull(row), nb = value.isNull();
    if (na || nb)
        return na == nb ? 0 : (na ? -1 : 1);
    if (m_kind == Kind::Integer && isIntegral(value))
        return threeWay(m_ints[row], value.toLongLong());
    if (m_kind == Kind::Real && isNumber(value))
        return threeWay(m_reals[row], value.toDouble());
    return compareValues(get(row), value);
}

QString textFromUtf8(const char *bytes, qsizetype length) {
    if (length < 3 || std::memcmp(bytes, "\xEF\xBB\xBF", 3) != 0)
        return QString::fromUtf8(bytes, length);
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
    return decoder.decode(QByteArrayView(bytes, length));
}

int compareValues(const QVariant &a, const QVariant &b) {
    const bool na = a.isNull(), nb = b.isNull();
    if (na || nb)
        return na == nb ? 0 : (na ? -1 : 1);
    if (isNumber(a) && isNumber(b)) {
        if (isIntegral(a) && isIntegral(b))
            return threeWay(a.toLongLong(), b.toLongLong());
        return threeWay(a.toDouble(), b.toDouble());
    }
    if (a.typeId() == QMetaType::QDate && b.typeId() == QMetaType::QDate)
        return threeWay(a.toDate(), b.toDate());
    if (a.typeId() == QMetaType::QDateTime && b.typeId() == QMetaType::QDateTime)
        return threeWay(a.toDateTime(), b.toDateTime());
    return threeWay(a.toString().compare(b.toString()), 0);
}

bool sameValue(const QVariant &a, const QVariant &b) {
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    if (isNumber(a) != isNumber(b))
        return false;
    return compareValues(a, b) == 0;
}

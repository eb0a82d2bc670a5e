#include "data/datasets/ColumnData.h"

#include <QDate>
#include <QDateTime>
#include <QStringDecoder>
#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

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

// UTF-8 bytes compared as unsigned, shorter first on a common start: the
// order of code points, and a store's binary order of text.
int byteOrder(QByteArrayView a, QByteArrayView b) {
    const size_t common = size_t(std::min(a.size(), b.size()));
    const int c = common == 0 ? 0 : std::memcmp(a.data(), b.data(), common);
    return c != 0 ? (c < 0 ? -1 : 1) : threeWay(a.size(), b.size());
}

// A quick hash of a text's bytes, eight at a time (fixed-size loads; the
// last eight bytes overlap the chunk before them).
// Every bit of the result depends on every bit of the input (MurmurHash3's finaliser).
std::uint64_t finish(std::uint64_t h) {
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    return h ^ (h >> 33);
}

size_t textHash(const char *bytes, size_t length) {
    std::uint64_t h = 0x9E3779B97F4A7C15ull ^ length;
    auto mix = [&h](std::uint64_t chunk) {
        h = (h ^ chunk) * 0xFF51AFD7ED558CCDull;
        h ^= h >> 32;
    };
    std::uint64_t chunk = 0;
    if (length < 8) {
        for (size_t i = 0; i < length; ++i)
            chunk = chunk << 8 | static_cast<unsigned char>(bytes[i]);
        mix(chunk);
        return size_t(finish(h));
    }
    for (size_t at = 0; at + 8 < length; at += 8) {
        std::memcpy(&chunk, bytes + at, 8);
        mix(chunk);
    }
    std::memcpy(&chunk, bytes + length - 8, 8);
    mix(chunk);
    return size_t(finish(h));
}

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
    m_wordBytes.clear();
    m_wordEnds.clear();
    m_wordSlots.clear();
    m_lookup = true;
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

void ColumnData::squeeze() {
    // Only a vector that grew well past its size is copied to fit.
    auto fit = [](auto &values) {
        if (values.capacity() > values.size() + values.size() / 8)
            values.shrink_to_fit();
    };
    fit(m_null);
    fit(m_ints);
    fit(m_reals);
    fit(m_texts);
    fit(m_variants);
    fit(m_wordBytes);
    fit(m_wordEnds);
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
    // Text is kept as UTF-8: a lone surrogate has none, so such a text stays a variant.
    case Kind::Text: return v.typeId() == QMetaType::QString && QStringView(v.toString()).isValidUtf16();
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
    m_wordBytes.clear();
    m_wordEnds.clear();
    m_wordSlots.clear();
    m_lookup = true;
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
    const QByteArray bytes = text.toUtf8();
    return wordOfUtf8(bytes.constData(), int(bytes.size()));
}

void ColumnData::rehashWords(size_t count) {
    // A slot keeps its text's hash beside the number: moving to a larger table
    // needs no bytes, and a lookup compares bytes only where the hashes agree.
    std::vector<std::uint64_t> table(count, 0);
    const size_t mask = count - 1;
    for (std::uint64_t slot : m_wordSlots) {
        if (slot == 0)
            continue;
        size_t at = size_t(slot >> 32) & mask;
        while (table[at] != 0)
            at = (at + 1) & mask;
        table[at] = slot;
    }
    m_wordSlots.swap(table);
}

quint32 ColumnData::wordOfUtf8(const char *bytes, int length) {
    if (!m_lookup)
        return addWord(bytes, length);
    // Kept under three quarters full, so a lookup ends after a few slots.
    if (m_wordSlots.empty() || (m_wordEnds.size() + 1) * 4 > m_wordSlots.size() * 3)
        rehashWords(std::max<size_t>(1024, m_wordSlots.size() * 2));
    const size_t mask = m_wordSlots.size() - 1;
    const std::uint64_t hash = textHash(bytes, size_t(length)) >> 32 << 32;
    size_t at = size_t(hash >> 32) & mask;
    for (; m_wordSlots[at] != 0; at = (at + 1) & mask) {
        if ((m_wordSlots[at] & ~std::uint64_t(0xFFFFFFFF)) != hash)
            continue;
        const quint32 word = quint32(m_wordSlots[at]) - 1;
        const QByteArrayView known = wordBytes(word);
        if (known.size() == length && (length == 0 || std::memcmp(known.data(), bytes, size_t(length)) == 0))
            return word;
    }
    m_wordSlots[at] = hash | (m_wordEnds.size() + 1);
    const quint32 word = addWord(bytes, length);
    // Texts that hardly repeat (a part number per line) are kept one per row:
    // looking each up in a table larger than the cache costs more than it saves.
    if (m_wordEnds.size() >= 65536 && m_wordEnds.size() * 2 > m_texts.size() + 1) {
        m_lookup = false;
        m_wordSlots = std::vector<std::uint64_t>();
    }
    return word;
}

quint32 ColumnData::addWord(const char *bytes, int length) {
    if (m_wordBytes.size() + size_t(length) > std::numeric_limits<quint32>::max())
        throw std::length_error("text column beyond 4 GB"); // no store returns that much
    m_wordBytes.insert(m_wordBytes.end(), bytes, bytes + length);
    m_wordEnds.push_back(quint32(m_wordBytes.size()));
    return quint32(m_wordEnds.size() - 1);
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
    if (m_kind != Kind::Text || !QStringView(value).isValidUtf16()) {
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
    m_null.push_back(0);
    m_texts.push_back(wordOfUtf8(bytes, length));
}

int ColumnData::longestText() const {
    if (m_kind != Kind::Text || m_wordEnds.empty())
        return -1;
    int longest = 0;
    for (quint32 word = 0; word < m_wordEnds.size(); ++word) {
        const QByteArrayView bytes = wordBytes(word);
        const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) == 0; });
        longest = std::max(longest, int(ascii ? bytes.size() : textFromUtf8(bytes.data(), bytes.size()).size()));
    }
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
        std::vector<quint32> words(other.m_wordEnds.size());
        for (quint32 word = 0; word < words.size(); ++word) {
            const QByteArrayView bytes = other.wordBytes(word);
            words[word] = wordOfUtf8(bytes.data(), int(bytes.size()));
        }
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
    case Kind::Text: {
        const QByteArrayView bytes = wordBytes(m_texts[row]);
        return QVariant(textFromUtf8(bytes.data(), bytes.size()));
    }
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
    case Kind::Text: return m_texts[a] == m_texts[b] ? 0 : byteOrder(wordBytes(m_texts[a]), wordBytes(m_texts[b]));
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
    if (m_kind == Kind::Text && value.typeId() == QMetaType::QString)
        return byteOrder(wordBytes(m_texts[row]), value.toString().toUtf8());
    return compareValues(get(row), value);
}

namespace {
template <typename T> void permuted(std::vector<T> &values, const std::vector<int> &order) {
    std::vector<T> out;
    out.reserve(order.size());
    for (int row : order)
        out.push_back(std::move(values[row]));
    values.swap(out);
}
} // namespace

bool ColumnData::orderKeys(std::vector<std::uint64_t> &keys, std::vector<std::uint8_t> &nulls) const {
    const int rows = size();
    keys.assign(rows, 0);
    nulls = m_null;
    constexpr std::uint64_t sign = std::uint64_t(1) << 63;
    switch (m_kind) {
    case Kind::Integer:
    case Kind::Date:
    case Kind::DateTime:
        for (int row = 0; row < rows; ++row)
            keys[row] = m_null[row] ? 0 : static_cast<std::uint64_t>(m_ints[row]) ^ sign;
        return true;
    case Kind::Real:
        for (int row = 0; row < rows; ++row) {
            if (m_null[row])
                continue;
            const double value = m_reals[row] == 0.0 ? 0.0 : m_reals[row]; // -0 equals 0
            if (value != value)
                return false;
            std::uint64_t bits;
            std::memcpy(&bits, &value, sizeof bits);
            keys[row] = (bits & sign) ? ~bits : bits | sign;
        }
        return true;
    case Kind::Text: {
        // Rank the distinct texts once; rows then compare by rank.
        std::vector<quint32> byText(m_wordEnds.size());
        for (quint32 i = 0; i < byText.size(); ++i)
            byText[i] = i;
        std::sort(byText.begin(), byText.end(),
                  [this](quint32 a, quint32 b) { return byteOrder(wordBytes(a), wordBytes(b)) < 0; });
        std::vector<std::uint64_t> rank(byText.size());
        std::uint64_t next = 0;
        for (size_t i = 0; i < byText.size(); ++i) {
            // Past the lookup's end a text may be kept more than once.
            if (i > 0 && byteOrder(wordBytes(byText[i - 1]), wordBytes(byText[i])) != 0)
                ++next;
            rank[byText[i]] = next;
        }
        for (int row = 0; row < rows; ++row)
            keys[row] = m_null[row] ? 0 : rank[m_texts[row]];
        return true;
    }
    case Kind::Variant: break;
    }
    return false;
}

void ColumnData::permute(const std::vector<int> &order) {
    permuted(m_null, order);
    switch (m_kind) {
    case Kind::Integer:
    case Kind::Date:
    case Kind::DateTime: permuted(m_ints, order); break;
    case Kind::Real: permuted(m_reals, order); break;
    case Kind::Text: permuted(m_texts, order); break;
    case Kind::Variant: permuted(m_variants, order); break;
    }
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

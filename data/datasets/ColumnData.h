#pragma once
#include "data/datasets/FieldType.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <vector>

/// One column of a fetched result, stored compactly by kind (integers, reals,
/// texts, dates as day numbers). A value that does not fit the kind turns the
/// column into plain variants, so nothing the store returns is ever altered.
class ColumnData {
public:
    enum class Kind { Integer, Real, Text, Date, DateTime, Variant };

    explicit ColumnData(Kind kind = Kind::Variant) : m_kind(kind) {}
    static Kind kindFor(FieldType type);

    Kind kind() const { return m_kind; }
    int size() const { return static_cast<int>(m_null.size()); }
    void reserve(int rows);
    void clear();
    /// Keeps the first `rows` rows.
    void truncate(int rows);
    /// Gives back what growing while reading left unused.
    void squeeze();

    void append(const QVariant &value);
    // Typed appends for readers that have the store's own values at hand.
    void appendInteger(qint64 value);
    void appendReal(double value);
    void appendText(const QString &value);
    /// Text as the store's UTF-8 bytes: a value met recently is shared without
    /// decoding or looking it up again.
    void appendUtf8(const char *bytes, int length);
    /// For a text column: the length of its longest text, or -1 when it holds
    /// none (every cell null) or is not a text column.
    int longestText() const;
    /// A date as its Julian day.
    void appendDay(qint64 julianDay);
    /// Appends the rows of another column of the same result, read apart (a
    /// later stretch of the same reading): its texts join this column's list.
    void appendColumn(const ColumnData &other);
    void set(int row, const QVariant &value);
    QVariant get(int row) const;
    bool isNull(int row) const { return m_null[row] != 0; }

    /// Keys whose unsigned order is the order a store gives the values: numbers
    /// by value, dates by day, text by code point (its bytes in UTF-8); null
    /// rows are marked and keep key 0. False when the column cannot promise
    /// that order: variants, a NaN, text that was not whole UTF-8.
    bool orderKeys(std::vector<std::uint64_t> &keys, std::vector<std::uint8_t> &nulls) const;
    /// Puts the rows in a new order: row i becomes the row that was `order[i]`.
    void permute(const std::vector<int> &order);

    /// Three-way comparison of two rows; nulls sort first.
    int compareRows(int a, int b) const;
    /// Three-way comparison of a row with a value; nulls sort first.
    int compareWith(int row, const QVariant &value) const;

private:
    bool fits(const QVariant &value) const;
    void becomeVariant();
    void store(int row, const QVariant &value);
    /// The number of a text among the column's distinct texts, added when new.
    quint32 wordOf(const QString &text);
    quint32 wordOfUtf8(const char *bytes, int length);
    quint32 addWord(const char *bytes, int length);
    QByteArrayView wordBytes(quint32 word) const {
        const quint32 start = word == 0 ? 0 : m_wordEnds[word - 1];
        return QByteArrayView(m_wordBytes.data() + start, m_wordEnds[word] - start);
    }
    void rehashWords(size_t count);

    Kind m_kind;
    // A text cell is the number of its text among the column's distinct
    // texts, which are kept as their UTF-8 bytes end to end: a million rows
    // repeating a few hundred makers cost four bytes each, and a column of
    // distinct descriptions little more than its bytes.
    std::vector<char> m_wordBytes;
    std::vector<quint32> m_wordEnds;        // one past each text's last byte
    std::vector<std::uint64_t> m_wordSlots; // by the bytes' hash: that hash << 32 | text number + 1, or 0
    bool m_lookup = true;                   // false once the texts hardly repeat: each row keeps its own
    std::vector<std::uint8_t> m_null;
    std::vector<qint64> m_ints; // Integer, Date (Julian day), DateTime (ms since epoch)
    std::vector<double> m_reals;
    std::vector<quint32> m_texts;
    std::vector<QVariant> m_variants;
};

/// Text from a store's UTF-8 bytes, exactly as stored: QString::fromUtf8 would
/// drop a U+FEFF at the start, taking it for a byte order mark.
QString textFromUtf8(const char *bytes, qsizetype length);

/// Three-way comparison of two values as the dataset orders them: null first,
/// numbers by value whatever their C++ type, then dates, then text.
int compareValues(const QVariant &a, const QVariant &b);
/// True when two values are the same for the purpose of "was it changed".
bool sameValue(const QVariant &a, const QVariant &b);

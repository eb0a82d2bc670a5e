// The field-text conversions: text typed into a field of each type, on a
// small in-memory dataset of one row, in the program's Russian locale.
//
// The input is "<type name>:<text>" (String:, Float:, Date:, ...); any other
// input picks the type by its first byte and the text is the rest.
//
// Properties: the conversion either succeeds or raises the program's
// EDatabaseError, never anything else; every reading of every field works;
// empty text is null and only it; a value that converts reads back stably:
// the text it shows converts again, to the same value (a real to within the 15
// digits shown), and from then on text and value stay the same; posted into
// the dataset's storage and read back, the value is unchanged; written as the
// store writes it and read back, it is the same value.
#include "data/datasets/EDatabaseError.h"
#include "data/datasets/SqlLiteral.h"
#include "data/datasets/SqliteDialect.h"
#include "data/datasets/TDataSet.h"
#include "fuzz/FuzzKit.h"

#include <QLocale>
#include <cmath>

namespace {
struct Column {
    FieldType type;
    int size;
};
const Column kinds[] = {
    {FieldType::String, 30}, {FieldType::FixedChar, 10}, {FieldType::WideString, 20}, {FieldType::FixedWideChar, 15},
    {FieldType::Memo, 0},    {FieldType::Integer, 0},    {FieldType::AutoInc, 0},     {FieldType::Float, 0},
    {FieldType::Date, 0},    {FieldType::DateTime, 0},   {FieldType::Boolean, 0},     {FieldType::Blob, 0},
    {FieldType::Unknown, 0},
};
constexpr int kindCount = static_cast<int>(sizeof kinds / sizeof kinds[0]);

// One row of every field type, held in the dataset's own column storage.
class MemoryDataSet : public TDataSet {
public:
    MemoryDataSet() : TDataSet(QStringLiteral("FuzzTable")) {}

protected:
    void fetchRows(bool describe) override {
        if (describe) {
            clearFields();
            for (int c = 0; c < kindCount; ++c)
                addField(fieldTypeName(kinds[c].type), kinds[c].type, kinds[c].size, 0, false, c);
        }
        columns().clear();
        for (int c = 0; c < kindCount; ++c) {
            columns().emplace_back(ColumnData::kindFor(kinds[c].type));
            columns().back().append(QVariant());
        }
    }
    void writeRow(int storageRow, bool inserting, const std::vector<QVariant> &values,
                  const std::vector<QVariant> &original) override {
        (void)inserting;
        (void)original;
        for (size_t c = 0; c < values.size(); ++c)
            columns()[c].set(storageRow, values[c]);
    }
    void deleteRow(int storageRow) override { (void)storageRow; }
};

MemoryDataSet &dataSet() {
    static MemoryDataSet *set = [] {
        FuzzKit::ensureApplication();
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        auto *made = new MemoryDataSet; // lives as long as the process
        made->Open();
        return made;
    }();
    return *set;
}

// The value again from its own text, or why not.
QVariant again(TField &field, const QString &text, const QString &shown) {
    try {
        field.setAsString(text);
    } catch (const EDatabaseError &error) {
        FUZZ_CHECK(false,
                   shown + QStringLiteral("\n  shown as: ") + text + QStringLiteral("\n  refused: ") + error.message());
    }
    return field.Value();
}

bool close(const QVariant &a, const QVariant &b) {
    if (a.typeId() != QMetaType::Double || b.typeId() != QMetaType::Double)
        return sameValue(a, b);
    const double x = a.toDouble(), y = b.toDouble();
    return x == y || std::fabs(x - y) <= 1e-14 * std::max(std::fabs(x), std::fabs(y));
}

void readAll(const TDataSet &set) {
    for (int i = 0; i < set.FieldCount(); ++i) {
        const TField *field = set.Fields(i);
        (void)field->AsString();
        (void)field->AsInteger();
        (void)field->AsFloat();
        (void)field->DisplayText();
        (void)field->IsNull();
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0)
        return 0;
    MemoryDataSet &set = dataSet();
    // A fresh row each time: the storage keeps every text it ever held.
    set.Close();
    set.Open();
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const int colon = static_cast<int>(bytes.indexOf(':'));
    int index = -1;
    for (int c = 0; colon > 0 && c < kindCount && index < 0; ++c)
        if (bytes.left(colon).compare(fieldTypeName(kinds[c].type).toLatin1(), Qt::CaseInsensitive) == 0)
            index = c;
    const int skip = index >= 0 ? colon + 1 : 1;
    if (index < 0)
        index = data[0] % kindCount;
    const QString text = FuzzKit::text(data + skip, size - skip);
    const QString shown = fieldTypeName(kinds[index].type) + QLatin1Char(':') + text;

    TField &field = *set.Fields(index);
    for (const QChar c : text)
        (void)field.IsValidChar(c);
    set.Edit();
    try {
        (void)field.valueFromText(text);
        field.setAsString(text);
    } catch (const EDatabaseError &) {
        readAll(set);
        set.Cancel();
        return 0;
    }
    readAll(set);
    const QVariant value = field.Value();
    const QString asText = field.AsString();
    FUZZ_CHECK(value.isNull() == text.isEmpty(), shown);
    FUZZ_CHECK(asText.isEmpty() == value.isNull(), shown);

    // Read back from the text it shows, twice: the second time changes nothing.
    const QVariant second = again(field, asText, shown);
    FUZZ_CHECK(close(second, value), shown + QStringLiteral("\n  shown as: ") + asText);
    const QString secondText = field.AsString();
    FUZZ_CHECK(secondText == asText, shown + QStringLiteral("\n  shown as: ") + asText);
    FUZZ_CHECK(sameValue(again(field, secondText, shown), second) && field.AsString() == secondText, shown);

    // Posted into the storage and read from there.
    set.Post();
    FUZZ_CHECK(sameValue(field.Value(), second) && field.Value().typeId() == second.typeId(), shown);
    FUZZ_CHECK(field.AsString() == secondText, shown);
    readAll(set);

    // Written as the store writes it, read as the store reads it.
    // A text holding NUL is refused on its way to the store, never cut short.
    const SqliteDialect dialect;
    QVariant stored;
    try {
        stored = dialect.toStore(second);
    } catch (const EDatabaseError &error) {
        FUZZ_CHECK(second.toString().contains(QChar(0)) && error.message() == dialect.nulRefusal(), shown);
        return 0;
    }
    const QVariant read = dialect.fromStore(stored, field.DataType());
    if (isTextType(field.DataType()) || second.typeId() == QMetaType::QString)
        FUZZ_CHECK(read.toString() == storableText(second.toString()), shown);
    else
        FUZZ_CHECK(sameValue(read, second) && read.typeId() == second.typeId(), shown);
    return 0;
}

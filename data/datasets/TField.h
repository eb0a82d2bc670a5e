#pragma once
#include "data/datasets/FieldType.h"

#include <QString>
#include <QVariant>

class TDataSet;

/// One field of a dataset: name, type, size and display width, and typed access
/// to the value of the dataset's current row. Text typed by the user reaches the
/// value through setAsString, which converts it or raises the conversion error.
class TField {
public:
    TField(TDataSet *dataSet, QString name, FieldType type, int size, int displayWidth, bool readOnly);

    TDataSet *DataSet() const { return m_dataSet; }
    const QString &FieldName() const { return m_name; }
    QString DisplayLabel() const { return m_name; }
    FieldType DataType() const { return m_type; }
    int Size() const { return m_size; }
    int DisplayWidth() const { return m_displayWidth; }
    bool ReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    /// Position among the dataset's fields.
    int Index() const { return m_index; }

    QVariant Value() const;
    bool IsNull() const { return Value().isNull(); }
    QString AsString() const;
    qint64 AsInteger() const { return Value().toLongLong(); }
    double AsFloat() const { return Value().toDouble(); }
    /// The text a grid cell or label shows.
    QString DisplayText() const { return displayTextOf(Value()); }
    /// The text an editor starts from.
    QString Text() const { return DisplayText(); }
    QString displayTextOf(const QVariant &value) const;

    void setValue(const QVariant &value);
    void setAsString(const QString &text);
    void Clear() { setValue(QVariant()); }

    /// Converts typed text to this field's value: empty text is null.
    QVariant valueFromText(const QString &text) const;
    /// Whether a typed character belongs to this field's type.
    bool IsValidChar(QChar c) const;
    /// A typed character as this field takes it: in a number with a fraction
    /// either of '.' and ',' is the locale's decimal point, whichever key (or
    /// keypad) gave it, so "1.5" never becomes 15.
    QChar typedChar(QChar c) const;
    /// Whether the user may change this field at all.
    bool CanModify() const;

    // Where the value lives and where it is written back.
    int column() const { return m_column; }
    void setColumn(int column) { m_column = column; }
    void setIndex(int index) { m_index = index; }
    const QString &originTable() const { return m_originTable; }
    const QString &originColumn() const { return m_originColumn; }
    void setOrigin(const QString &table, const QString &column) {
        m_originTable = table;
        m_originColumn = column;
    }

private:
    TDataSet *m_dataSet;
    QString m_name;
    FieldType m_type;
    int m_size;
    int m_displayWidth;
    bool m_readOnly;
    int m_index = -1;
    int m_column = -1;
    QString m_originTable;
    QString m_originColumn;
};

/// A field a dataset declares before it opens, with the type the store must return.
struct TFieldDef {
    QString name;
    FieldType type = FieldType::Unknown;
    int size = 0;
    int displayWidth = 0;
    bool readOnly = false;
};

#pragma once
#include "data/datasets/FieldType.h"

#include <QList>
#include <QString>
#include <QVariant>
#include <memory>
#include <utility>
#include <vector>

/// One named parameter of a server query: its value and the type the store
/// described for it, which a text value is converted to when the query runs.
struct TParameter {
    QString Name;
    QVariant Value;
    FieldType DataType = FieldType::Unknown;
};

/// The parameters of a query, in the order of their markers.
class TParameters {
public:
    int Count() const { return static_cast<int>(m_items.size()); }
    TParameter &Items(int index) { return *m_items[index]; }
    const TParameter &Items(int index) const { return *m_items[index]; }
    /// Appends an unnamed parameter.
    TParameter &AddParameter();
    /// First parameter of that name, letter case ignored; nullptr when none.
    const TParameter *FindParam(const QString &name) const;
    TParameter *FindParam(const QString &name) {
        return const_cast<TParameter *>(std::as_const(*this).FindParam(name));
    }
    /// As FindParam, but an error when there is none.
    const TParameter &ParamByName(const QString &name) const;
    TParameter &ParamByName(const QString &name) {
        return const_cast<TParameter &>(std::as_const(*this).ParamByName(name));
    }
    void Clear() { m_items.clear(); }
    void takeFrom(TParameters &other) { m_items = std::move(other.m_items); }

private:
    std::vector<std::unique_ptr<TParameter>> m_items;
};

/// A statement's text with its parameter markers found.
struct ParsedStatement {
    QString sql;          ///< the text to send: markers as '?', '::' as ':'
    QStringList names;    ///< one name per marker, in order
    QList<int> positions; ///< offset of each marker in the original text
};

/// A marker is a colon in code (outside literals, quoted names and comments, as
/// StatementScanner reads them), followed by a name that runs up to a blank,
/// comma, semicolon, closing parenthesis, line break, the end, or where the
/// code ends; two colons in code stand for one literal colon.
ParsedStatement parseParameters(const QString &text);

#pragma once
#include <QString>
#include <QStringList>
#include <QVariant>

/// Rows offered to a report under a name: the rows in their order, every
/// field by name as display text (a null field is empty) and as a typed value,
/// and which row is the current one. A report run brackets its reading with
/// beginRead and endRead, so a source may open what it needs for the run and
/// put everything back afterwards.
class ReportRowSource {
public:
    virtual ~ReportRowSource() = default;
    /// The name the report refers to the source by.
    virtual QString sourceName() const = 0;
    virtual void beginRead() {}
    virtual void endRead() {}
    virtual QStringList fieldNames() const = 0;
    virtual int rowCount() const = 0;
    /// The row that is current in the source, or -1.
    virtual int currentRow() const = 0;
    virtual QString displayText(int row, const QString &field) const = 0;
    virtual QVariant value(int row, const QString &field) const = 0;
};

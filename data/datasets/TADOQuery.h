#pragma once
#include "data/datasets/ParameterList.h"
#include "data/datasets/SlotStatement.h"
#include "data/datasets/TCustomADODataSet.h"

enum class TCursorType { ctUnspecified, ctOpenForwardOnly, ctKeyset, ctDynamic, ctStatic };

/// A server query: a statement held line by line, opened when it returns rows and
/// executed when it does not. When the text changes its named parameters are
/// rebuilt from the markers of the new text, keeping by name the values they had.
class TADOQuery : public TCustomADODataSet {
    Q_OBJECT
public:
    explicit TADOQuery(const QString &name, QObject *parent = nullptr);

    SlotStatement &SQL() { return m_sql; }
    const SlotStatement &SQL() const { return m_sql; }
    TParameters &Parameters() { return m_parameters; }
    /// Runs a statement that returns no rows; the query stays closed. Returns the rows affected.
    int ExecSQL();

    // Prepared, Filtered and CursorType are kept for the names the data module
    // sets; they have no effect here. Every statement is prepared, no filter
    // exists, and every open reads all rows into memory.
    bool Prepared() const { return m_prepared; }
    void setPrepared(bool on) { m_prepared = on; }
    bool Filtered() const { return m_filtered; }
    void setFiltered(bool on) { m_filtered = on; }
    TCursorType CursorType() const { return m_cursorType; }
    void setCursorType(TCursorType type) { m_cursorType = type; }
    /// For a statement over several tables: the one its rows are written to.
    const QString &UniqueTable() const { return m_uniqueTable; }
    void setUniqueTable(const QString &table) { m_uniqueTable = table; }

protected:
    QString selectText() const override { return m_parsed.sql; }
    QVariantList bindValues() const override;
    QString uniqueTable() const override;
    QString uniqueQualifier() const override;

private:
    void sqlChanged();
    void describeParameters(TParameters &parameters) const;

    SlotStatement m_sql;
    TParameters m_parameters;
    QString m_statement;
    ParsedStatement m_parsed;
    QString m_uniqueTable;
    bool m_prepared = false;
    bool m_filtered = false;
    TCursorType m_cursorType = TCursorType::ctStatic;
};

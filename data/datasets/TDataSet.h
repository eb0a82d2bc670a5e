#pragma once
#include "data/datasets/ColumnData.h"
#include "data/datasets/DataEvent.h"
#include "data/datasets/RowIndex.h"
#include "data/datasets/TField.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

class TDataSource;
class MasterLink;

/// The common dataset: the whole result held in memory, a current row, the
/// editing cycle (browse, edit, insert), beginning and end marks, and the
/// master-detail link. A detail narrows itself through its ordering index, so
/// following the master never touches the store. Subclasses fetch and write rows.
class TDataSet : public QObject {
    Q_OBJECT
public:
    explicit TDataSet(const QString &name, QObject *parent = nullptr);
    ~TDataSet() override;

    // --- state -------------------------------------------------------------
    DataSetState State() const { return m_state; }
    bool Active() const { return m_state != DataSetState::Inactive; }
    void setActive(bool active);
    void Open();
    void Close();
    bool IsEmpty() const { return RecordCount() == 0; }
    /// Rows the dataset holds now (for a detail: those of the master's key).
    int RecordCount() const { return m_index.size(); }
    /// Position of the current row, 0-based; -1 when there is none.
    int RecNo() const { return m_pos; }
    bool Bof() const { return m_bof; }
    bool Eof() const { return m_eof; }
    bool editing() const { return m_state == DataSetState::Edit || m_state == DataSetState::Insert; }
    /// Whether edit, insert and delete are allowed at all.
    bool CanModify() const { return internalCanModify(); }
    /// Whether any field value differs from when the row entered edit or insert.
    bool Modified() const;

    // --- moving --------------------------------------------------------------
    void First();
    void Last();
    void Next() { MoveBy(1); }
    void Prior() { MoveBy(-1); }
    int MoveBy(int distance);
    /// Makes the given row current (a click in a grid).
    void setRecNo(int row);

    // --- editing -------------------------------------------------------------
    void Edit();
    void Insert() { insertRow(false); }
    void Append() { insertRow(true); }
    void Post();
    void Cancel();
    void Delete();
    void Refresh();
    /// Finishes the pending edit: details first, then posts if anything changed,
    /// cancels otherwise. Browse state is left alone.
    void CheckBrowseMode();
    /// Asks every bound view to write the text it holds into its field.
    void UpdateRecord();

    // --- fields --------------------------------------------------------------
    int FieldCount() const { return static_cast<int>(m_fields.size()); }
    TField *Fields(int index) const { return m_fields[index].get(); }
    /// Letter case is ignored.
    TField *FindField(const QString &name) const;
    TField *FieldByName(const QString &name) const;
    /// Declares a fixed field list: exactly these fields, in this order, and the
    /// store must return each with a compatible type.
    void setFieldDefs(const QList<TFieldDef> &defs) { m_fieldDefs = defs; }
    const QList<TFieldDef> &fieldDefs() const { return m_fieldDefs; }

    QVariant fieldValue(const TField &field) const;
    void setFieldValue(TField &field, const QVariant &value);
    /// The value a grid shows at a row of the dataset (the edited values for the current row).
    QVariant valueAt(int row, const TField &field) const;

    // --- master-detail -------------------------------------------------------
    TDataSource *MasterSource() const;
    void setMasterSource(TDataSource *source);
    const QString &MasterFields() const { return m_masterFields; }
    void setMasterFields(const QString &fields);
    /// Engaged while the master is open and MasterFields names a field.
    bool linkEngaged() const;

    // --- bindings (called by TDataSource) ------------------------------------
    void attachDataSource(TDataSource *source);
    void detachDataSource(TDataSource *source);

    /// "%s: %s" with this dataset's name.
    [[noreturn]] void fail(const QString &text) const;

protected:
    /// Fetches every row into the columns. With describe, (re)builds the fields
    /// first; without, the fields stay as they are (a refresh).
    virtual void fetchRows(bool describe) = 0;
    virtual bool internalCanModify() const { return true; }
    /// Writes the row to the store and stores back what the store now holds.
    virtual void writeRow(int storageRow, bool inserting, const std::vector<QVariant> &values,
                          const std::vector<QVariant> &original) = 0;
    virtual void deleteRow(int storageRow) = 0;
    /// Values a new row holds before anything is typed, by storage column,
    /// besides its master's key; like that key, they are not typing.
    virtual void newRowDefaults(std::vector<QVariant> &values) const { (void)values; }
    /// Names of the fields the rows are ordered by (the dataset's index).
    virtual QStringList indexFieldNames() const { return {}; }
    /// Whether the store changed since the rows were read, so that a master
    /// move must read them again; datasets that narrow in memory say no.
    virtual bool rowsOutdated() const { return false; }
    /// The rows of a closing dataset, which a subclass may keep for a later
    /// open (the storage is cleared after this). `clean`: no row is being
    /// edited or inserted.
    virtual void rowsClosing(std::vector<ColumnData> &columns, bool clean) {
        (void)columns;
        (void)clean;
    }

    // For subclasses filling the storage.
    void clearStorage();
    /// Adds a field bound to storage column `column`.
    TField *addField(const QString &name, FieldType type, int size, int displayWidth, bool readOnly, int column);
    void clearFields() { m_fields.clear(); }
    std::vector<ColumnData> &columns() { return m_columns; }
    const std::vector<ColumnData> &columns() const { return m_columns; }
    int storageRowCount() const { return m_columns.empty() ? 0 : m_columns.front().size(); }
    /// The hidden column identifying a row in the store, or -1.
    int keyColumn() const { return m_keyColumn; }
    void setKeyColumn(int column) { m_keyColumn = column; }
    /// Storage row of a dataset row.
    int storageRowAt(int row) const { return m_index.storageRow(row); }
    int currentStorageRow() const { return m_pos < 0 ? -1 : storageRowAt(m_pos); }
    /// Which Insert the row being inserted comes from: a new number for each,
    /// so a row cancelled and inserted anew is never taken for the earlier one.
    quint64 insertNumber() const { return m_inserts; }
    void notify(DataEvent event, TField *field = nullptr);

private:
    friend class MasterLink;
    void checkActive() const;
    void checkCanModify() const;
    void insertRow(bool append);
    void notifyDetailsCheckBrowseMode();
    std::vector<QVariant> rowValues(int storageRow) const;

    // ordering and the detail restriction
    std::vector<int> wantedSortColumns() const;
    /// The rows just read, in the dataset's order, every one held.
    void indexRows();
    /// Reads every row again; a failure closes the dataset.
    void refetch();
    std::optional<RowIndex::Key> computeRestriction() const;
    void masterChanged();
    void setEmptyMarks();

    DataSetState m_state = DataSetState::Inactive;
    std::vector<std::unique_ptr<TField>> m_fields;
    QList<TFieldDef> m_fieldDefs;
    std::vector<ColumnData> m_columns;
    int m_keyColumn = -1;

    RowIndex m_index; // the rows in dataset order, and those held now
    int m_pos = -1;
    bool m_bof = true, m_eof = true;

    std::vector<QVariant> m_buffer;   // values of the row being edited or inserted
    std::vector<QVariant> m_original; // the same when editing began
    int m_posBeforeInsert = -1;
    quint64 m_inserts = 0;

    std::vector<TDataSource *> m_dataSources;
    std::unique_ptr<MasterLink> m_masterLink;
    QString m_masterFields;
};

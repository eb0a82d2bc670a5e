#include "data/datasets/TDataSet.h"
#include "data/datasets/EDatabaseError.h"
#include "data/datasets/MasterLink.h"
#include "data/datasets/StoreLog.h"
#include "data/datasets/TDataSource.h"

#include <algorithm>
#include <numeric>

TDataSet::TDataSet(const QString &name, QObject *parent)
    : QObject(parent), m_masterLink(std::make_unique<MasterLink>(this)) {
    setObjectName(name);
}

TDataSet::~TDataSet() {
    m_masterLink.reset();
    // Details told that their master is gone may fail to finish their edit;
    // nothing may leave a destructor.
    for (TDataSource *source : std::vector<TDataSource *>(m_dataSources)) {
        try {
            source->setDataSet(nullptr);
        } catch (...) {
            qCDebug(storeLog).noquote() << objectName()
                                        << "gone; a detail's pending edit stays unwritten:" << caughtErrorText();
        }
    }
}

void TDataSet::fail(const QString &text) const { throw EDatabaseError::of(objectName(), text); }

void TDataSet::checkActive() const {
    if (!Active())
        fail(QString::fromLatin1(DbText::closedDataSet));
}

void TDataSet::checkCanModify() const {
    if (!CanModify())
        fail(QString::fromLatin1(DbText::readOnlyDataSet));
}

void TDataSet::notify(DataEvent event, TField *field) {
    for (TDataSource *source : std::vector<TDataSource *>(m_dataSources))
        source->dataEvent(event, field);
}

void TDataSet::notifyDetailsCheckBrowseMode() { notify(DataEvent::CheckBrowseMode); }

void TDataSet::attachDataSource(TDataSource *source) { m_dataSources.push_back(source); }

void TDataSet::detachDataSource(TDataSource *source) {
    m_dataSources.erase(std::remove(m_dataSources.begin(), m_dataSources.end(), source), m_dataSources.end());
}

// --- opening and closing --------------------------------------------------

void TDataSet::setActive(bool active) {
    if (active)
        Open();
    else
        Close();
}

void TDataSet::Open() {
    if (Active())
        return;
    // Everything that can fail comes before the dataset counts as open: a
    // failed open leaves it closed, and the next open tries again.
    try {
        clearStorage();
        fetchRows(true);
        indexRows();
        if (linkEngaged())
            m_index.restrict(m_columns, computeRestriction());
    } catch (...) {
        clearStorage();
        throw;
    }
    m_state = DataSetState::Browse;
    m_pos = IsEmpty() ? -1 : 0;
    m_bof = true;
    m_eof = IsEmpty();
    notify(DataEvent::ActiveChanged);
}

void TDataSet::Close() {
    if (!Active())
        return;
    notifyDetailsCheckBrowseMode();
    const bool clean = m_state == DataSetState::Browse;
    m_state = DataSetState::Inactive;
    m_buffer.clear();
    m_original.clear();
    rowsClosing(m_columns, clean);
    clearStorage();
    notify(DataEvent::ActiveChanged);
}

void TDataSet::clearStorage() {
    m_columns.clear();
    m_keyColumn = -1;
    m_index.clear();
    m_pos = -1;
    m_bof = m_eof = true;
}

TField *TDataSet::addField(const QString &name, FieldType type, int size, int displayWidth, bool readOnly, int column) {
    auto field = std::make_unique<TField>(this, name, type, size, displayWidth, readOnly);
    field->setIndex(FieldCount());
    field->setColumn(column);
    m_fields.push_back(std::move(field));
    return m_fields.back().get();
}

TField *TDataSet::FindField(const QString &name) const {
    for (const auto &field : m_fields)
        if (field->FieldName().compare(name, Qt::CaseInsensitive) == 0)
            return field.get();
    return nullptr;
}

TField *TDataSet::FieldByName(const QString &name) const {
    if (TField *field = FindField(name))
        return field;
    fail(QStringLiteral("Field '%1' not found").arg(name));
}

// --- values -----------------------------------------------------------------

std::vector<QVariant> TDataSet::rowValues(int storageRow) const {
    std::vector<QVariant> values;
    values.reserve(m_columns.size());
    for (const ColumnData &column : m_columns)
        values.push_back(storageRow < 0 ? QVariant() : column.get(storageRow));
    return values;
}

QVariant TDataSet::fieldValue(const TField &field) const {
    if (!Active() || m_pos < 0 || field.column() < 0)
        return QVariant();
    if (editing())
        return m_buffer[field.column()];
    return m_columns[field.column()].get(currentStorageRow());
}

QVariant TDataSet::valueAt(int row, const TField &field) const {
    if (!Active() || row < 0 || row >= RecordCount() || field.column() < 0)
        return QVariant();
    if (editing() && row == m_pos)
        return m_buffer[field.column()];
    return m_columns[field.column()].get(storageRowAt(row));
}

void TDataSet::setFieldValue(TField &field, const QVariant &value) {
    if (!editing())
        fail(QString::fromLatin1(DbText::notEditing));
    if (field.ReadOnly())
        throw EDatabaseError(QStringLiteral("Field '%1' cannot be modified").arg(field.FieldName()));
    QVariant converted = value;
    if (value.typeId() == QMetaType::QString && !isTextType(field.DataType()))
        converted = field.valueFromText(value.toString());
    m_buffer[field.column()] = converted;
    notify(DataEvent::RecordChanged, &field);
}

bool TDataSet::Modified() const {
    if (!editing())
        return false;
    for (size_t c = 0; c < m_buffer.size(); ++c)
        if (!sameValue(m_buffer[c], m_original[c]))
            return true;
    return false;
}

// --- moving -----------------------------------------------------------------

void TDataSet::setEmptyMarks() {
    if (IsEmpty()) {
        m_pos = -1;
        m_bof = m_eof = true;
    }
}

void TDataSet::First() {
    checkActive();
    CheckBrowseMode();
    m_pos = IsEmpty() ? -1 : 0;
    m_bof = true;
    m_eof = IsEmpty();
    notify(DataEvent::Scrolled);
}

void TDataSet::Last() {
    checkActive();
    CheckBrowseMode();
    m_pos = RecordCount() - 1;
    m_eof = true;
    m_bof = IsEmpty();
    notify(DataEvent::Scrolled);
}

int TDataSet::MoveBy(int distance) {
    checkActive();
    CheckBrowseMode();
    if (distance == 0)
        return 0;
    m_bof = m_eof = false;
    const int from = m_pos;
    int target = m_pos + distance;
    if (target < 0) {
        target = 0;
        m_bof = true;
    }
    if (target >= RecordCount()) {
        target = RecordCount() - 1;
        m_eof = true;
    }
    m_pos = target;
    setEmptyMarks();
    notify(DataEvent::Scrolled);
    return m_pos - from;
}

void TDataSet::setRecNo(int row) {
    checkActive();
    if (row == m_pos || row < 0 || row >= RecordCount())
        return;
    // Finishing the pending edit may drop an inserted row and shift positions:
    // aim at the row itself, not at its position.
    const int target = storageRowAt(row);
    CheckBrowseMode();
    // Mostly the row is where it was; only a dropped insert moves it.
    const int found = row < RecordCount() && storageRowAt(row) == target ? row : m_index.find(target);
    if (found < 0 || found == m_pos)
        return;
    m_pos = found;
    m_bof = m_eof = false;
    notify(DataEvent::Scrolled);
}

// --- editing ----------------------------------------------------------------

void TDataSet::UpdateRecord() {
    if (Active())
        notify(DataEvent::UpdateRecord);
}

void TDataSet::CheckBrowseMode() {
    checkActive();
    notifyDetailsCheckBrowseMode();
    if (!editing())
        return;
    UpdateRecord();
    if (!editing())
        return;
    if (Modified())
        Post();
    else
        Cancel();
}

void TDataSet::Edit() {
    checkActive();
    if (editing())
        return;
    if (IsEmpty()) {
        Insert();
        return;
    }
    CheckBrowseMode();
    checkCanModify();
    m_buffer = rowValues(currentStorageRow());
    m_original = m_buffer;
    m_state = DataSetState::Edit;
    notify(DataEvent::StateChanged);
}

void TDataSet::insertRow(bool append) {
    checkActive();
    CheckBrowseMode();
    checkCanModify();
    const int storageRow = storageRowCount();
    for (ColumnData &column : m_columns)
        column.append(QVariant());
    ++m_inserts;
    m_posBeforeInsert = m_pos;
    const int at = (append || m_pos < 0) ? RecordCount() : m_pos;
    m_index.insert(at, storageRow);
    m_pos = at;
    m_buffer.assign(m_columns.size(), QVariant());
    // An engaged detail's new row carries the master's key at once; the key is
    // not typing, so the row still counts as untouched.
    if (const auto &key = m_index.restriction()) {
        const std::vector<int> &keyColumns = m_index.sortColumns();
        for (size_t i = 0; i < key->size() && i < keyColumns.size(); ++i)
            m_buffer[keyColumns[i]] = (*key)[i];
    }
    newRowDefaults(m_buffer);
    m_original = m_buffer;
    m_state = DataSetState::Insert;
    m_bof = m_eof = false;
    notify(DataEvent::DataSetChanged);
    notify(DataEvent::StateChanged);
}

void TDataSet::Post() {
    checkActive();
    UpdateRecord();
    if (!editing())
        fail(QString::fromLatin1(DbText::notEditing));
    notifyDetailsCheckBrowseMode();
    const int row = currentStorageRow();
    const bool inserting = m_state == DataSetState::Insert;
    std::vector<QVariant> values = m_buffer;
    writeRow(row, inserting, values, m_original);
    m_state = DataSetState::Browse;
    m_buffer.clear();
    m_original.clear();
    if (m_index.place(m_columns, row)) {
        const int found = m_index.find(row);
        m_pos = found >= 0 ? found : std::min(m_pos, RecordCount() - 1);
        setEmptyMarks();
    }
    notify(DataEvent::DataSetChanged);
    notify(DataEvent::StateChanged);
    notify(DataEvent::Posted);
}

void TDataSet::Cancel() {
    if (!editing())
        return;
    if (m_state == DataSetState::Insert) {
        const int row = currentStorageRow();
        m_index.erase(m_pos);
        if (row == storageRowCount() - 1) {
            // The row never reached the store: give its storage back.
            for (ColumnData &column : m_columns)
                column.truncate(row);
        }
        m_pos = std::min(m_posBeforeInsert, RecordCount() - 1);
        if (m_pos < 0 && !IsEmpty())
            m_pos = 0;
        setEmptyMarks();
    }
    m_state = DataSetState::Browse;
    m_buffer.clear();
    m_original.clear();
    notify(DataEvent::DataSetChanged);
    notify(DataEvent::StateChanged);
}

void TDataSet::Delete() {
    checkActive();
    if (m_state == DataSetState::Insert) {
        Cancel();
        return;
    }
    if (IsEmpty())
        fail(QString::fromLatin1(DbText::emptyDataSet));
    notifyDetailsCheckBrowseMode();
    checkCanModify();
    const int row = currentStorageRow();
    deleteRow(row);
    m_index.erase(m_pos);
    m_state = DataSetState::Browse;
    m_buffer.clear();
    m_original.clear();
    if (m_pos >= RecordCount())
        m_pos = RecordCount() - 1;
    m_bof = m_eof = false;
    setEmptyMarks();
    notify(DataEvent::DataSetChanged);
    notify(DataEvent::StateChanged);
}

void TDataSet::Refresh() {
    checkActive();
    CheckBrowseMode();
    QVariant key;
    const int oldPos = m_pos;
    const bool oldBof = m_bof, oldEof = m_eof;
    if (m_keyColumn >= 0 && m_pos >= 0)
        key = m_columns[m_keyColumn].get(currentStorageRow());
    const auto restriction = m_index.restriction();
    refetch();
    if (restriction)
        m_index.restrict(m_columns, restriction);
    m_pos = -1;
    if (!key.isNull()) {
        for (int i = 0; i < RecordCount() && m_pos < 0; ++i)
            if (m_columns[m_keyColumn].compareWith(storageRowAt(i), key) == 0)
                m_pos = i;
    }
    if (m_pos < 0)
        m_pos = std::min(std::max(oldPos, 0), RecordCount() - 1);
    // Re-reading is no move: the marks stay while the same row stays current.
    const bool samePlace = m_pos == oldPos;
    m_bof = samePlace && oldBof;
    m_eof = samePlace && oldEof;
    setEmptyMarks();
    notify(DataEvent::DataSetChanged);
}

void TDataSet::refetch() {
    clearStorage();
    try {
        fetchRows(false);
    } catch (...) {
        // The rows are gone with the failed read: the dataset closes, as a
        // failed open leaves it.
        m_state = DataSetState::Inactive;
        clearStorage();
        notify(DataEvent::ActiveChanged);
        throw;
    }
    indexRows();
}

// --- ordering and the detail restriction ----------------------------------

std::vector<int> TDataSet::wantedSortColumns() const {
    std::vector<int> wanted;
    for (const QString &name : indexFieldNames())
        if (TField *field = FindField(name.trimmed()))
            wanted.push_back(field->column());
    if (linkEngaged()) {
        const QStringList masterNames = m_masterFields.split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (int i = static_cast<int>(wanted.size()); i < masterNames.size(); ++i) {
            TField *field = FindField(masterNames[i].trimmed());
            if (!field)
                fail(QStringLiteral("Field '%1' not found").arg(masterNames[i].trimmed()));
            wanted.push_back(field->column());
        }
    }
    return wanted;
}

void TDataSet::indexRows() {
    m_index.reset(storageRowCount());
    m_index.sortBy(m_columns, wantedSortColumns());
}

std::optional<RowIndex::Key> TDataSet::computeRestriction() const {
    if (!linkEngaged())
        return std::nullopt;
    TDataSet *master = MasterSource()->DataSet();
    std::vector<QVariant> key;
    for (const QString &name : m_masterFields.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        key.push_back(master->FieldByName(name.trimmed())->Value());
    return key;
}

// --- master-detail ----------------------------------------------------------

TDataSource *TDataSet::MasterSource() const { return m_masterLink->DataSource(); }

void TDataSet::setMasterSource(TDataSource *source) {
    if (source == MasterSource())
        return;
    m_masterLink->setDataSource(source); // tells masterChanged()
}

void TDataSet::setMasterFields(const QString &fields) {
    if (fields == m_masterFields)
        return;
    m_masterFields = fields;
    masterChanged();
}

bool TDataSet::linkEngaged() const {
    TDataSource *source = MasterSource();
    return source && source->DataSet() && source->DataSet()->Active() &&
           !m_masterFields.split(QLatin1Char(';'), Qt::SkipEmptyParts).isEmpty();
}

void TDataSet::masterChanged() {
    if (!Active())
        return;
    CheckBrowseMode();
    const auto restriction = computeRestriction();
    const auto &held = m_index.restriction();
    const bool same = restriction.has_value() == held.has_value() &&
                      (!restriction || std::equal(restriction->begin(), restriction->end(), held->begin(), held->end(),
                                                  [](const QVariant &a, const QVariant &b) {
                                                      return compareValues(a, b) == 0 && a.isNull() == b.isNull();
                                                  }));
    if (same)
        return;
    int current = currentStorageRow();
    // A detail read from a store others write to is read again when it has
    // changed, so a row added meanwhile shows with its master.
    if (rowsOutdated()) {
        refetch();
        current = -1;
    }
    m_index.sortBy(m_columns, wantedSortColumns());
    m_index.restrict(m_columns, restriction);
    if (restriction) {
        m_pos = IsEmpty() ? -1 : 0;
        m_bof = true;
        m_eof = IsEmpty();
    } else {
        // Disengaged: every row shows, and the row that was current stays current.
        const int found = current >= 0 ? m_index.find(current) : -1;
        m_pos = found >= 0 ? found : (IsEmpty() ? -1 : 0);
        m_bof = m_eof = false;
        setEmptyMarks();
    }
    notify(DataEvent::DataSetChanged);
}

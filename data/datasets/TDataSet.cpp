#include "data/datasets/TDataSet.h"
#include "data/datasets/EDatabaseError.h"
#include "data/datasets/MasterLink.h"
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
        m_sortColumns.clear();
        rebuildOrder();
        m_restriction.reset();
        m_lo = 0;
        m_hi = static_cast<int>(m_order.size());
        if (linkEngaged()) {
            ensureSortColumns();
            applyRestriction(computeRestriction());
        }
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
    m_state = DataSetState::Inactive;
    m_buffer.clear();
    m_original.clear();
    clearStorage();
    notify(DataEvent::ActiveChanged);
}

void TDataSet::clearStorage() {
    m_columns.clear();
    m_keyColumn = -1;
    m_order.clear();
    m_lo = m_hi = 0;
    m_pos = -1;
    m_bof = m_eof = true;
    m_restriction.reset();
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
    const int found = findInView(target);
    if (found < 0 || found == m_pos)
        return;
    m_pos = found;
    m_bof = m_eof = false;
    notify(DataEvent::Scrolled);
}

int TDataSet::findInView(int storageRow) const {
    for (int i = m_lo; i < m_hi; ++i)
        if (m_order[i] == storageRow)
            return i - m_lo;
    return -1;
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
    m_posBeforeInsert = m_pos;
    const int at = (append || m_pos < 0) ? RecordCount() : m_pos;
    m_order.insert(m_order.begin() + m_lo + at, storageRow);
    ++m_hi;
    m_pos = at;
    m_buffer.assign(m_columns.size(), QVariant());
    // An engaged detail's new row carries the master's key at once; the key is
    // not typing, so the row still counts as untouched.
    if (m_restriction) {
        for (size_t i = 0; i < m_restriction->size() && i < m_sortColumns.size(); ++i)
            m_buffer[m_sortColumns[i]] = (*m_restriction)[i];
    }
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
    placeRowAfterPost(row);
    notify(DataEvent::DataSetChanged);
    notify(DataEvent::StateChanged);
    notify(DataEvent::Posted);
}

void TDataSet::Cancel() {
    if (!editing())
        return;
    if (m_state == DataSetState::Insert) {
        const int row = currentStorageRow();
        m_order.erase(m_order.begin() + m_lo + m_pos);
        --m_hi;
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
    m_order.erase(m_order.begin() + m_lo + m_pos);
    --m_hi;
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
    const auto restriction = m_restriction;
    refetch();
    if (restriction)
        applyRestriction(restriction);
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
    rebuildOrder();
    m_lo = 0;
    m_hi = static_cast<int>(m_order.size());
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

int TDataSet::compareSortColumns(int a, int b) const {
    for (int column : m_sortColumns) {
        const int c = m_columns[column].compareRows(a, b);
        if (c != 0)
            return c;
    }
    return 0;
}

void TDataSet::rebuildOrder() {
    m_order.resize(storageRowCount());
    std::iota(m_order.begin(), m_order.end(), 0);
    m_sortColumns = wantedSortColumns();
    if (!m_sortColumns.empty())
        std::stable_sort(m_order.begin(), m_order.end(), [this](int a, int b) { return compareSortColumns(a, b) < 0; });
}

void TDataSet::ensureSortColumns() {
    if (wantedSortColumns() == m_sortColumns)
        return;
    m_sortColumns = wantedSortColumns();
    std::stable_sort(m_order.begin(), m_order.end(), [this](int a, int b) { return compareSortColumns(a, b) < 0; });
}

int TDataSet::compareKey(int storageRow, const std::vector<QVariant> &key) const {
    for (size_t i = 0; i < key.size(); ++i) {
        const int c = m_columns[m_sortColumns[i]].compareWith(storageRow, key[i]);
        if (c != 0)
            return c;
    }
    return 0;
}

std::optional<std::vector<QVariant>> TDataSet::computeRestriction() const {
    if (!linkEngaged())
        return std::nullopt;
    TDataSet *master = MasterSource()->DataSet();
    std::vector<QVariant> key;
    for (const QString &name : m_masterFields.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        key.push_back(master->FieldByName(name.trimmed())->Value());
    return key;
}

void TDataSet::applyRestriction(const std::optional<std::vector<QVariant>> &restriction) {
    m_restriction = restriction;
    if (!restriction) {
        m_lo = 0;
        m_hi = static_cast<int>(m_order.size());
        return;
    }
    // A master without a current row has null values, and then the rows whose
    // link is null are the ones that match: nulls compare equal here.
    const auto lower = std::partition_point(m_order.begin(), m_order.end(),
                                            [&](int row) { return compareKey(row, *restriction) < 0; });
    const auto upper =
        std::partition_point(lower, m_order.end(), [&](int row) { return compareKey(row, *restriction) == 0; });
    m_lo = static_cast<int>(lower - m_order.begin());
    m_hi = static_cast<int>(upper - m_order.begin());
}

void TDataSet::placeRowAfterPost(int storageRow) {
    if (m_sortColumns.empty())
        return;
    // Keep the order sorted by the index so the restriction stays a range: a row
    // whose key changed moves to where its key belongs.
    const auto at = std::find(m_order.begin(), m_order.end(), storageRow);
    const int index = static_cast<int>(at - m_order.begin());
    const bool afterPrev = index == 0 || compareSortColumns(m_order[index - 1], storageRow) <= 0;
    const bool beforeNext =
        index + 1 >= static_cast<int>(m_order.size()) || compareSortColumns(storageRow, m_order[index + 1]) <= 0;
    if (afterPrev && beforeNext)
        return;
    m_order.erase(at);
    const auto place = std::upper_bound(m_order.begin(), m_order.end(), storageRow,
                                        [this](int a, int b) { return compareSortColumns(a, b) < 0; });
    m_order.insert(place, storageRow);
    applyRestriction(m_restriction);
    const int found = findInView(storageRow);
    m_pos = found >= 0 ? found : std::min(m_pos, RecordCount() - 1);
    setEmptyMarks();
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
    const bool same = restriction.has_value() == m_restriction.has_value() &&
                      (!restriction || std::equal(restriction->begin(), restriction->end(), m_restriction->begin(),
                                                  m_restriction->end(), [](const QVariant &a, const QVariant &b) {
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
    ensureSortColumns();
    applyRestriction(restriction);
    if (restriction) {
        m_pos = IsEmpty() ? -1 : 0;
        m_bof = true;
        m_eof = IsEmpty();
    } else {
        // Disengaged: every row shows, and the row that was current stays current.
        const int found = current >= 0 ? findInView(current) : -1;
        m_pos = found >= 0 ? found : (IsEmpty() ? -1 : 0);
        m_bof = m_eof = false;
        setEmptyMarks();
    }
    notify(DataEvent::DataSetChanged);
}

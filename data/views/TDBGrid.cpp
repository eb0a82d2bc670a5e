#include "data/views/TDBGrid.h"
#include "data/datasets/TDataSet.h"
#include "data/datasets/TDataSource.h"
#include "data/views/IndicatorHeader.h"
#include "data/views/ViewBinding.h"
#include "platform/ErrorFunnel.h"
#include "platform/MessageBoxes.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QtMath>
#include <algorithm>

namespace {
// Whether a key gives a character to write: a printable one, a format mark
// (right-to-left and joiners), or one outside the first plane, which arrives
// as its two UTF-16 halves together.
bool givesCharacter(const QString &text) {
    if (text.isEmpty())
        return false;
    const QChar c = text.front();
    return c.isPrint() || c.category() == QChar::Other_Format ||
           (c.isHighSurrogate() && text.size() > 1 && text[1].isLowSurrogate());
}
} // namespace

void TDBGrid::Link::recordChanged(TField *field) {
    m_grid->m_model.rowChanged(m_grid->dataSet()->RecNo());
    // Another view changed the value under an editor nobody typed into: show it.
    if (m_grid->m_editorOpen && !m_grid->m_editorModified && field &&
        field == m_grid->m_model.fieldAt(m_grid->m_column))
        m_grid->m_editor->setText(field->Text());
}

TDBGrid::TDBGrid(const QString &name, QWidget *parent) : QTableView(parent) {
    setObjectName(name);
    m_indicator = new IndicatorHeader(this);
    setVerticalHeader(m_indicator);
    setModel(&m_model);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const int rowHeight = fontMetrics().height() + 4;
    m_indicator->setDefaultSectionSize(rowHeight);
    m_indicator->setMinimumSectionSize(rowHeight);
    m_indicator->setFixedWidth(12);

    m_editor = new QLineEdit(viewport());
    m_editor->setObjectName(name + QStringLiteral("_editor"));
    m_editor->setFrame(false);
    // Entered by typing, F2 or a click; the window's Tab order passes it by.
    m_editor->setFocusPolicy(Qt::ClickFocus);
    m_editor->hide();
    m_editor->installEventFilter(this);
    connect(m_editor, &QLineEdit::textEdited, this, [this] { m_editorModified = true; });
    m_focusConnection = connect(qApp, &QApplication::focusChanged, this, &TDBGrid::focusChanged);
    setOptions(defaultOptions());
}

TDBGrid::~TDBGrid() {
    // The application outlives us and announces focus changes while our bases
    // are being torn down: stop listening first.
    disconnect(m_focusConnection);
    ViewBinding::cancel(&m_link);
}

void TDBGrid::setDataSourceName(const QString &name) { ViewBinding::request(&m_link, name); }

void TDBGrid::setColumns(const QStringList &fieldNames) {
    m_model.setColumnNames(fieldNames);
    rebuild();
}

void TDBGrid::setOptions(Options options) {
    m_options = options;
    horizontalHeader()->setVisible(options & dgTitles);
    m_indicator->setVisible(options & dgIndicator);
    const bool resize = options & dgColumnResize;
    horizontalHeader()->setSectionResizeMode(resize ? QHeaderView::Interactive : QHeaderView::Fixed);
    horizontalHeader()->setSectionsMovable(resize);
    setShowGrid(options & (dgColLines | dgRowLines));
    // Tab reaches keyPressEvent only with tab key navigation; otherwise the
    // widget hands it to the focus chain before the grid sees it.
    setTabKeyNavigation(options & dgTabs);
}

bool TDBGrid::active() const {
    TDataSet *ds = dataSet();
    return ds && ds->Active();
}

bool TDBGrid::canEditCell(int column) const {
    TField *field = m_model.fieldAt(column);
    return (m_options & dgEditing) && active() && dataSet()->CanModify() && field && !field->ReadOnly() &&
           field->DataType() != FieldType::Blob && field->DataType() != FieldType::Memo;
}

// --- following the dataset ----------------------------------------------------

void TDBGrid::rebuild() {
    closeEditor();
    m_model.rebuild(dataSet());
    if (m_column >= m_model.columnCount())
        m_column = 0;
    sizeColumns();
    syncCurrent();
    stateChanged();
}

void TDBGrid::rowsChanged() {
    m_model.rowsChanged();
    if (!active() || !dataSet()->editing())
        closeEditor();
    syncCurrent();
    stateChanged();
}

void TDBGrid::syncCurrent() {
    m_syncing = true;
    const int row = active() ? dataSet()->RecNo() : -1;
    if (row >= 0 && m_model.columnCount() > 0) {
        const QModelIndex index = m_model.index(row, m_column);
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        scrollTo(index);
    } else {
        selectionModel()->clear();
    }
    m_syncing = false;
    if (m_editorOpen && !dataSet()->editing())
        closeEditor();
    placeEditor();
    stateChanged();
}

void TDBGrid::stateChanged() {
    TDataSet *ds = dataSet();
    const bool on = ds && ds->Active();
    IndicatorHeader::Mark mark = IndicatorHeader::Mark::Browse;
    if (on && ds->State() == DataSetState::Edit)
        mark = IndicatorHeader::Mark::Edit;
    else if (on && ds->State() == DataSetState::Insert)
        mark = IndicatorHeader::Mark::Insert;
    m_indicator->setCurrent(on ? ds->RecNo() : -1, mark);
    if (on && !ds->editing() && m_editorOpen)
        closeEditor();
}

void TDBGrid::sizeColumns() {
    const QFontMetricsF metrics(font());
    const QFontMetrics titleMetrics(horizontalHeader()->font());
    // A column holds its display width in digits, as wide as the font's '0',
    // plus the margins the cell keeps on both sides of its text and the grid line.
    const qreal charWidth = metrics.horizontalAdvance(QLatin1Char('0'));
    const int margins = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 2;
    for (int c = 0; c < m_model.columnCount(); ++c) {
        TField *field = m_model.fieldAt(c);
        const int title = titleMetrics.horizontalAdvance(m_model.titleAt(c)) + 10;
        const int data = field ? qCeil(field->DisplayWidth() * charWidth) + margins : 0;
        setColumnWidth(c, qMax(title, data));
    }
}

void TDBGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous) {
    QTableView::currentChanged(current, previous);
    // The dataset decides what is current: a change that did not come from it
    // (a click, a key of the base class) is turned into a move of the dataset.
    if (m_syncing || !current.isValid() || !active())
        return;
    const int row = current.row();
    const int column = current.column();
    QTimer::singleShot(0, this, [this, row, column] {
        act([&] {
            if (active() && row != dataSet()->RecNo())
                dataSet()->setRecNo(row);
            setColumn(column);
        });
    });
}

// --- user actions -------------------------------------------------------------

void TDBGrid::act(const std::function<void()> &action) {
    try {
        action();
    } catch (const std::exception &error) {
        syncCurrent();
        ErrorFunnel::report(error);
        if (m_editorOpen)
            m_editor->setFocus();
        else
            setFocus();
    }
}

void TDBGrid::mousePressEvent(QMouseEvent *event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    setFocus(Qt::MouseFocusReason);
    // The control that had the focus kept it (its value was refused): no move.
    if (window()->focusWidget() != this || !index.isValid() || !active())
        return;
    act([&] {
        if (index.row() != dataSet()->RecNo())
            dataSet()->setRecNo(index.row());
        setColumn(index.column());
    });
}

void TDBGrid::mouseDoubleClickEvent(QMouseEvent *event) {
    mousePressEvent(event);
    if (canEditCell(m_column) && !m_editorOpen && active() && !dataSet()->IsEmpty()) {
        TField *field = m_model.fieldAt(m_column);
        openEditor(field->Text(), true);
    }
}

void TDBGrid::keyPressEvent(QKeyEvent *event) {
    if (!handleKey(event))
        QTableView::keyPressEvent(event);
}

bool TDBGrid::handleKey(QKeyEvent *event) {
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const bool ctrl = mods & Qt::ControlModifier;
    // The grid keeps Tab for its columns, so Ctrl+Tab and Ctrl+Shift+Tab are
    // the way out to the window's next and previous control, from any cell.
    if (ctrl && (key == Qt::Key_Tab || key == Qt::Key_Backtab)) {
        focusNeighbour(key == Qt::Key_Tab && !(mods & Qt::ShiftModifier));
        return true;
    }
    if (!active())
        return false;
    TDataSet *ds = dataSet();
    const int page = qMax(1, viewport()->height() / qMax(1, m_indicator->defaultSectionSize()) - 1);
    switch (key) {
    case Qt::Key_Up: act([&] { moveUp(); }); return true;
    case Qt::Key_Down: act([&] { moveDown(); }); return true;
    case Qt::Key_PageUp: act([&] { ds->MoveBy(-page); }); return true;
    case Qt::Key_PageDown: act([&] { ds->MoveBy(page); }); return true;
    case Qt::Key_Home: act([&] { ctrl ? ds->First() : setColumn(0); }); return true;
    case Qt::Key_End: act([&] { ctrl ? ds->Last() : setColumn(m_model.columnCount() - 1); }); return true;
    case Qt::Key_Left: act([&] { setColumn(qMax(0, m_column - 1)); }); return true;
    case Qt::Key_Right: act([&] { setColumn(qMin(m_model.columnCount() - 1, m_column + 1)); }); return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if (!(m_options & dgTabs))
            return false;
        act([&] { tab(key == Qt::Key_Backtab || (mods & Qt::ShiftModifier)); });
        return true;
    case Qt::Key_Insert:
        if (mods == Qt::NoModifier && (m_options & dgEditing) && ds->CanModify())
            act([&] { ds->Insert(); });
        return true;
    case Qt::Key_Delete:
        if (ctrl)
            act([&] { deleteRow(); });
        return true;
    case Qt::Key_Escape: act([&] { escape(); }); return true;
    case Qt::Key_F2:
        if (canEditCell(m_column) && !m_editorOpen && (!ds->IsEmpty() || ds->editing()))
            openEditor(m_model.fieldAt(m_column)->Text(), true);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_editorOpen) {
            act([&] {
                writeEditor();
                closeEditor();
                setFocus();
            });
        } else if (canEditCell(m_column) && (!ds->IsEmpty() || ds->editing())) {
            openEditor(m_model.fieldAt(m_column)->Text(), true);
        }
        return true;
    default: break;
    }
    const QString text = event->text();
    if (!ctrl && givesCharacter(text)) {
        act([&] { typeCharacter(text); });
        return true;
    }
    return false;
}

void TDBGrid::moveDown() {
    TDataSet *ds = dataSet();
    const bool last = ds->RecNo() >= ds->RecordCount() - 1;
    const bool untouched = ds->State() == DataSetState::Insert && !ds->Modified() && !m_editorModified;
    if (untouched) {
        if (!last)
            ds->Cancel(); // the row below the discarded one becomes current
        return;
    }
    if (last && (m_options & dgEditing) && ds->CanModify())
        ds->Append();
    else
        ds->Next();
}

void TDBGrid::moveUp() {
    TDataSet *ds = dataSet();
    const bool last = ds->RecNo() >= ds->RecordCount() - 1;
    if (ds->State() == DataSetState::Insert && !ds->Modified() && !m_editorModified && last) {
        ds->Cancel();
        return;
    }
    ds->Prior();
}

void TDBGrid::deleteRow() {
    TDataSet *ds = dataSet();
    if (!ds->CanModify() || ds->IsEmpty())
        return;
    if ((m_options & dgConfirmDelete) && !Messages::confirmDelete())
        return;
    ds->Delete();
}

void TDBGrid::escape() {
    TField *field = m_model.fieldAt(m_column);
    if (m_editorOpen && m_editorModified && field) {
        m_editor->setText(field->Text()); // the field's value back into the cell
        m_editorModified = false;
    } else {
        dataSet()->Cancel();
    }
    closeEditor();
    setFocus();
}

void TDBGrid::focusNeighbour(bool next) {
    // From the grid itself, so the walk back never stops on the grid under its
    // own editor; leaving writes the editor as any other way out does.
    if (m_editor->hasFocus())
        setFocus(Qt::OtherFocusReason);
    QWidget::focusNextPrevChild(next);
}

void TDBGrid::setColumn(int column) {
    if (column < 0 || column >= m_model.columnCount())
        return;
    if (column != m_column && m_editorOpen) {
        writeEditor();
        closeEditor();
        setFocus();
    }
    m_column = column;
    syncCurrent();
}

void TDBGrid::tab(bool backwards) {
    TDataSet *ds = dataSet();
    const int count = m_model.columnCount();
    if (count == 0)
        return;
    int column = m_column + (backwards ? -1 : 1);
    if (column >= count) {
        if (ds->RecNo() >= ds->RecordCount() - 1)
            return;
        setColumn(0);
        ds->Next();
        return;
    }
    if (column < 0) {
        if (ds->RecNo() <= 0)
            return;
        setColumn(count - 1);
        ds->Prior();
        return;
    }
    setColumn(column);
}

bool TDBGrid::beginEdit() {
    TDataSet *ds = dataSet();
    if (!ds->editing())
        DataSource()->Edit(); // insert state when the dataset is empty
    return ds->editing();
}

void TDBGrid::typeCharacter(const QString &text) {
    if (!canEditCell(m_column))
        return;
    TField *field = m_model.fieldAt(m_column);
    QString typed = text;
    typed[0] = field->typedChar(text.front());
    if (!field->IsValidChar(typed.front())) {
        QApplication::beep();
        return;
    }
    if (!beginEdit())
        return;
    openEditor(typed, false);
    m_editorModified = true;
}

// --- the cell editor ---------------------------------------------------------------

void TDBGrid::openEditor(const QString &text, bool selectAll) {
    m_refusedText = QString();
    TField *field = m_model.fieldAt(m_column);
    // As long as the column's width, or the value when it is longer in UTF-16
    // units (characters outside the first plane): a value cut here would be
    // written back cut.
    m_editor->setMaxLength(field && isTextType(field->DataType()) && field->Size() > 0
                               ? std::max(field->Size(), static_cast<int>(text.size()))
                               : 32767);
    m_editor->setText(text);
    m_editorModified = false;
    m_editorOpen = true;
    placeEditor();
    m_editor->show();
    m_editor->setFocus();
    if (selectAll)
        m_editor->selectAll();
    else
        m_editor->end(false);
}

void TDBGrid::closeEditor() {
    if (!m_editorOpen)
        return;
    m_editorOpen = false;
    m_editorModified = false;
    // Take the focus first: hiding the focused editor would hand it to the next
    // control, which counts as leaving the grid and drops an untouched new row.
    if (m_editor->hasFocus())
        setFocus();
    m_editor->hide();
}

void TDBGrid::placeEditor() {
    if (!m_editorOpen || !active())
        return;
    const QRect rect = visualRect(m_model.index(dataSet()->RecNo(), m_column));
    m_editor->setGeometry(rect.adjusted(1, 1, -1, -1));
}

void TDBGrid::writeEditor() {
    if (!m_editorOpen || !m_editorModified || !active())
        return;
    TField *field = m_model.fieldAt(m_column);
    if (!field || !beginEdit())
        return;
    field->setAsString(m_editor->text());
    m_editorModified = false;
}

bool TDBGrid::eventFilter(QObject *watched, QEvent *event) {
    if (watched != m_editor || event->type() != QEvent::KeyPress)
        return QTableView::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    switch (key->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Insert: handleKey(key); return true;
    case Qt::Key_Delete:
        if (key->modifiers() & Qt::ControlModifier) {
            handleKey(key);
            return true;
        }
        break;
    case Qt::Key_Home:
    case Qt::Key_End:
        if (key->modifiers() & Qt::ControlModifier) {
            handleKey(key);
            return true;
        }
        return false;
    default: break;
    }
    const QString text = key->text();
    TField *field = m_model.fieldAt(m_column);
    const bool changing = (givesCharacter(text) && !(key->modifiers() & Qt::ControlModifier)) ||
                          key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete ||
                          key->matches(QKeySequence::Paste) || key->matches(QKeySequence::Cut);
    if (!changing)
        return false;
    const bool printable = !text.isEmpty() && text.front().isPrint() && field;
    if (printable && !field->IsValidChar(field->typedChar(text.front()))) {
        QApplication::beep();
        return true;
    }
    bool started = false;
    act([&] { started = beginEdit(); });
    if (started && printable && field->typedChar(text.front()) != text.front()) {
        m_editor->insert(QString(field->typedChar(text.front())));
        m_editorModified = true;
        return true;
    }
    return !started; // dropped when the row cannot be edited
}

void TDBGrid::scrollContentsBy(int dx, int dy) {
    QTableView::scrollContentsBy(dx, dy);
    placeEditor();
}

void TDBGrid::updateGeometries() {
    QTableView::updateGeometries();
    placeEditor();
}

// --- leaving the grid ------------------------------------------------------------

void TDBGrid::focusChanged(QWidget *old, QWidget *now) {
    const bool wasOurs = old == this || old == m_editor;
    const bool isOurs = now == this || now == m_editor;
    // Only a move to another control of this window leaves the grid; a message
    // box or another window taking the focus does not.
    if (!wasOurs || isOurs || !now || now->window() != window())
        return;
    leave();
}

void TDBGrid::leave() {
    if (!active())
        return;
    TDataSet *ds = dataSet();
    // The value refused a moment ago and not changed since: keep the focus and
    // spare the user the same box again (a click first focuses, then presses).
    if (m_editorOpen && m_editorModified && !m_refusedText.isNull() && m_editor->text() == m_refusedText) {
        m_editor->setFocus();
        return;
    }
    try {
        if ((m_options & dgCancelOnExit) && ds->State() == DataSetState::Insert && !ds->Modified() &&
            !m_editorModified) {
            ds->Cancel();
            return;
        }
        writeEditor(); // the row stays in edit or insert state
        closeEditor();
        m_refusedText = QString();
    } catch (const std::exception &error) {
        // Take the focus back at once: the control that was clicked then sees
        // it has not got it and does nothing.
        m_refusedText = m_editorOpen ? m_editor->text() : QString();
        m_editorOpen ? m_editor->setFocus() : setFocus();
        ErrorFunnel::report(error);
    }
}

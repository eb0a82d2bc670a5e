#pragma once
#include "data/datasets/TDataLink.h"
#include "data/views/DataSetModel.h"

#include <QTableView>

class QLineEdit;
class IndicatorHeader;

/// A grid over a dataset: its selected row is the dataset's current row, its
/// keys move, insert, delete and edit rows, and an edited row is written the
/// moment the user leaves it. Painting costs the rows on screen only.
class TDBGrid : public QTableView {
    Q_OBJECT
public:
    enum Option {
        dgEditing = 0x1,
        dgTitles = 0x2,
        dgIndicator = 0x4,
        dgColumnResize = 0x8,
        dgColLines = 0x10,
        dgRowLines = 0x20,
        dgTabs = 0x40,
        dgConfirmDelete = 0x80,
        dgCancelOnExit = 0x100,
    };
    Q_DECLARE_FLAGS(Options, Option)
    static constexpr Options defaultOptions() {
        return Options(dgEditing | dgTitles | dgIndicator | dgColumnResize | dgColLines | dgRowLines | dgTabs |
                       dgConfirmDelete | dgCancelOnExit);
    }

    explicit TDBGrid(const QString &name, QWidget *parent = nullptr);
    ~TDBGrid() override;

    void setDataSourceName(const QString &name);
    void setDataSource(TDataSource *source) { m_link.setDataSource(source); }
    TDataSource *DataSource() const { return m_link.DataSource(); }
    /// Field names of the columns, left to right; empty means every field.
    void setColumns(const QStringList &fieldNames);
    QStringList Columns() const { return m_model.columnNames(); }
    Options options() const { return m_options; }
    void setOptions(Options options);

    DataSetModel *dataModel() { return &m_model; }
    /// The cell editor, when open.
    QLineEdit *cellEditor() const { return m_editorOpen ? m_editor : nullptr; }
    int currentColumn() const { return m_column; }
    /// Writes the cell editor's text into its field, if the user changed it.
    void writeEditor();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void updateGeometries() override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

private:
    class Link : public TDataLink {
    public:
        explicit Link(TDBGrid *grid) : m_grid(grid) {}

    protected:
        void activeChanged() override { m_grid->rebuild(); }
        void dataSetChanged() override { m_grid->rowsChanged(); }
        void scrolled() override { m_grid->syncCurrent(); }
        void recordChanged(TField *field) override;
        void stateChanged() override { m_grid->stateChanged(); }
        void updateData() override { m_grid->writeEditor(); }

    private:
        TDBGrid *m_grid;
    };

    TDataSet *dataSet() const { return m_link.DataSet(); }
    bool active() const;
    bool canEditCell(int column) const;
    void rebuild();
    void rowsChanged();
    void syncCurrent();
    void stateChanged();
    void sizeColumns();

    /// Runs a user action; an error is shown and the grid keeps the focus.
    void act(const std::function<void()> &action);
    bool handleKey(QKeyEvent *event);
    void moveDown();
    void moveUp();
    void deleteRow();
    void escape();
    void setColumn(int column);
    void tab(bool backwards);
    /// Moves the focus to the window's next or previous control.
    void focusNeighbour(bool next);
    void typeCharacter(const QString &text);
    /// Puts the dataset into edit state for typing; false when it cannot be.
    bool beginEdit();

    void openEditor(const QString &text, bool selectAll);
    void closeEditor();
    void placeEditor();
    void leave();
    void focusChanged(QWidget *old, QWidget *now);

    Link m_link{this};
    DataSetModel m_model;
    IndicatorHeader *m_indicator;
    Options m_options = defaultOptions();
    QLineEdit *m_editor;
    bool m_editorOpen = false;
    bool m_editorModified = false;
    QString m_refusedText; // the editor's text last refused on leaving
    int m_column = 0;
    bool m_syncing = false;
    QMetaObject::Connection m_focusConnection;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TDBGrid::Options)

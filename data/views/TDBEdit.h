#pragma once
#include "data/views/FieldDataLink.h"

#include <QLineEdit>

/// An edit field bound to one field of the current row. Typing puts the dataset
/// into edit state (insert when it is empty); leaving the field writes its text
/// into the field, and a text that is no valid value keeps the focus here.
class TDBEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TDBEdit(const QString &name, QWidget *parent = nullptr);
    ~TDBEdit() override;

    void setDataSourceName(const QString &name);
    void setDataSource(TDataSource *source) { m_link.setDataSource(source); }
    TDataSource *DataSource() const { return m_link.DataSource(); }
    void setDataField(const QString &field) { m_link.setFieldName(field); }
    const QString &DataField() const { return m_link.FieldName(); }
    /// Writes the text into the field if the user changed it.
    void updateRecord();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;

private:
    void refresh();
    void refreshReadOnly();
    /// Starts editing before a change; false when the change must be dropped.
    bool beginChange();
    void editedElsewhere(const QString &edited);

    FieldDataLink m_link;
    bool m_modified = false;
    QString m_refusedText; // the text last refused on leaving, while it stands
    bool m_writing = false;
};

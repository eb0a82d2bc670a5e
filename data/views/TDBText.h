#pragma once
#include "data/views/FieldDataLink.h"

#include <QLabel>

/// A label showing one field of the current row. Its text is empty when the
/// dataset is closed, the field is missing, there is no current row, or the
/// value is null. It keeps its designed size and shows no accelerators.
class TDBText : public QLabel {
    Q_OBJECT
public:
    explicit TDBText(const QString &name, QWidget *parent = nullptr);
    ~TDBText() override;

    /// Binds by data source name (at once, or once the data module exists).
    void setDataSourceName(const QString &name);
    void setDataSource(TDataSource *source) { m_link.setDataSource(source); }
    TDataSource *DataSource() const { return m_link.DataSource(); }
    void setDataField(const QString &field) { m_link.setFieldName(field); }
    const QString &DataField() const { return m_link.FieldName(); }
    /// The text shown now.
    QString Text() const { return text(); }

private:
    void refresh();

    FieldDataLink m_link;
};

#pragma once
#include "data/datasets/TDataLink.h"

#include <QString>
#include <functional>

class TField;

/// The link of a view that shows one field: it finds the field by name whenever
/// the dataset opens, and calls back on every change the view must show, and
/// when the dataset asks the view to write its text into the field.
class FieldDataLink : public TDataLink {
public:
    FieldDataLink() = default;

    const QString &FieldName() const { return m_fieldName; }
    void setFieldName(const QString &name);
    /// The bound field, or nullptr (dataset closed, or no such field).
    TField *Field() const { return m_field; }
    /// Whether the view may change the field now (dataset and field modifiable).
    bool canModify() const;
    /// Puts the dataset into edit state (insert when empty) for typing; false
    /// when it cannot be modified.
    bool edit();

    std::function<void()> onDataChange;  ///< show the value again
    std::function<void()> onStateChange; ///< browse/edit/insert changed
    std::function<void()> onUpdateData;  ///< write your text into the field

protected:
    void activeChanged() override;
    void dataSetChanged() override { changed(); }
    void scrolled() override { changed(); }
    void recordChanged(TField *field) override;
    void stateChanged() override;
    void updateData() override;

private:
    void findField();
    void changed();

    QString m_fieldName;
    TField *m_field = nullptr;
};

#pragma once
#include "platform/Exception.h"

/// Every error of the dataset layer. Errors a dataset raises about itself carry
/// its name before the text ("ADOTable2: Dataset not in edit or insert mode");
/// conversion errors and the store's own texts carry no name.
class EDatabaseError : public Exception {
public:
    explicit EDatabaseError(QString message, QString kind = QStringLiteral("EDatabaseError"))
        : Exception(std::move(message), std::move(kind)) {}

    /// "%s: %s" from the component's name and the text.
    static EDatabaseError of(const QString &componentName, const QString &text) {
        return EDatabaseError(componentName.isEmpty() ? text : componentName + QStringLiteral(": ") + text);
    }
};

/// A write the store was sent but never answered: the connection broke in
/// between, so it may or may not have been stored. Whoever wrote it reads the
/// row back before writing it again.
class EOutcomeUnknown : public EDatabaseError {
public:
    using EDatabaseError::EDatabaseError;
};

/// Errors of the local table engine (alias, table file, index).
class EDBEngineError : public EDatabaseError {
public:
    explicit EDBEngineError(QString message) : EDatabaseError(std::move(message), QStringLiteral("EDBEngineError")) {}
};

namespace DbText {
inline const char *notEditing = "Dataset not in edit or insert mode";
inline const char *emptyDataSet = "Cannot perform this operation on an empty dataset";
inline const char *readOnlyDataSet = "Cannot modify a read-only dataset";
inline const char *closedDataSet = "Cannot perform this operation on a closed dataset";
} // namespace DbText

#pragma once
// What the store layer says while a check runs.
#include <QLoggingCategory>
#include <QStringList>

// The messages of the store's category while it lives, with the category
// turned on, or left as it is by default.
class StoreLogCapture {
public:
    explicit StoreLogCapture(bool on) {
        QLoggingCategory::setFilterRules(on ? QStringLiteral("drevalon.store.debug=true") : QString());
        s_lines = &lines;
        s_previous = qInstallMessageHandler(record);
    }
    ~StoreLogCapture() {
        qInstallMessageHandler(s_previous);
        s_lines = nullptr;
        QLoggingCategory::setFilterRules(QString());
    }
    QStringList lines;

private:
    static void record(QtMsgType type, const QMessageLogContext &context, const QString &text) {
        if (qstrcmp(context.category, "drevalon.store") == 0)
            s_lines->append(text);
        else
            s_previous(type, context, text);
    }
    static inline QStringList *s_lines = nullptr;
    static inline QtMessageHandler s_previous = nullptr;
};

#pragma once
#include "platform/MessageBoxes.h"

#include <QList>
#include <QStringList>

/// Answers every box the program shows and records it. Confirmations take the
/// queued answers in order, then the default one (yes / OK).
class ScriptedMessages : public MessageService {
public:
    struct Box {
        QString kind; ///< "information", "confirm", "confirmDelete", "error", "fatal"
        QString caption;
        QString text;
    };

    void information(const QString &text) override { m_boxes.append({QStringLiteral("information"), {}, text}); }
    bool confirm(const QString &text) override {
        m_boxes.append({QStringLiteral("confirm"), QStringLiteral("Confirm"), text});
        return nextAnswer();
    }
    bool confirmDelete() override {
        m_boxes.append({QStringLiteral("confirmDelete"), QStringLiteral("Confirm"), QStringLiteral("Delete record?")});
        return nextAnswer();
    }
    void error(const QString &text) override { m_boxes.append({QStringLiteral("error"), {}, text}); }
    void fatal(const QString &caption, const QString &text) override {
        m_boxes.append({QStringLiteral("fatal"), caption, text});
    }

    void answer(std::initializer_list<bool> answers) { m_answers.append(QList<bool>(answers)); }
    const QList<Box> &boxes() const { return m_boxes; }
    QStringList texts(const QString &kind) const {
        QStringList out;
        for (const Box &box : m_boxes)
            if (box.kind == kind)
                out.append(box.text);
        return out;
    }
    void clear() { m_boxes.clear(); }

private:
    bool nextAnswer() { return m_answers.isEmpty() ? true : m_answers.takeFirst(); }

    QList<Box> m_boxes;
    QList<bool> m_answers;
};

/// Installs a ScriptedMessages for the lifetime of the guard.
class ScriptedMessagesGuard {
public:
    ScriptedMessagesGuard() {
        auto scripted = std::make_unique<ScriptedMessages>();
        m_messages = scripted.get();
        m_previous = Messages::install(std::move(scripted));
    }
    ~ScriptedMessagesGuard() { Messages::install(std::move(m_previous)); }
    ScriptedMessages &operator*() const { return *m_messages; }
    ScriptedMessages *operator->() const { return m_messages; }

private:
    ScriptedMessages *m_messages;
    std::unique_ptr<MessageService> m_previous;
};

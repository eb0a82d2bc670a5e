#pragma once
#include <QStringList>
#include <functional>

/// A statement held as a list of text lines. Handlers overwrite a line by its
/// number (a "slot"); the owner is told before every change, so it can close
/// the query first (a failure there leaves the text as it was), and after it,
/// to take the new text as its statement.
class SlotStatement {
public:
    void setOnChange(std::function<void()> beforeChange, std::function<void()> onChange) {
        m_beforeChange = std::move(beforeChange);
        m_onChange = std::move(onChange);
    }

    int count() const { return static_cast<int>(m_lines.size()); }
    const QStringList &lines() const { return m_lines; }
    QString line(int index) const;
    /// Replaces an existing line; writing a line the list does not have is an error.
    void setLine(int index, const QString &text);
    void add(const QString &text);
    void clear();
    void setLines(const QStringList &lines);
    /// The statement as sent: every line followed by a line break.
    QString text() const;

private:
    void change(const std::function<void()> &edit);

    QStringList m_lines;
    std::function<void()> m_beforeChange;
    std::function<void()> m_onChange;
};

#include "data/datasets/SlotStatement.h"
#include "data/datasets/EDatabaseError.h"

namespace {
[[noreturn]] void outOfBounds(int index) {
    throw EDatabaseError(QStringLiteral("List index out of bounds (%1)").arg(index));
}
} // namespace

QString SlotStatement::line(int index) const {
    if (index < 0 || index >= count())
        outOfBounds(index);
    return m_lines[index];
}

void SlotStatement::setLine(int index, const QString &text) {
    if (index < 0 || index >= count())
        outOfBounds(index);
    change([&] { m_lines[index] = text; });
}

void SlotStatement::add(const QString &text) {
    change([&] { m_lines.append(text); });
}

void SlotStatement::clear() {
    change([&] { m_lines.clear(); });
}

void SlotStatement::setLines(const QStringList &lines) {
    change([&] { m_lines = lines; });
}

QString SlotStatement::text() const {
    QString text;
    for (const QString &line : m_lines) {
        text += line;
        text += QLatin1Char('\n');
    }
    return text;
}

void SlotStatement::change(const std::function<void()> &edit) {
    if (m_beforeChange)
        m_beforeChange();
    edit();
    if (m_onChange)
        m_onChange();
}

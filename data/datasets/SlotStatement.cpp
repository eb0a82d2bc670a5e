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
    m_lines[index] = text;
    changed();
}

void SlotStatement::add(const QString &text) {
    m_lines.append(text);
    changed();
}

void SlotStatement::clear() {
    m_lines.clear();
    changed();
}

void SlotStatement::setLines(const QStringList &lines) {
    m_lines = lines;
    changed();
}

QString SlotStatement::text() const {
    QString text;
    for (const QString &line : m_lines) {
        text += line;
        text += QLatin1Char('\n');
    }
    return text;
}

void SlotStatement::changed() {
    if (m_onChange)
        m_onChange();
}

#pragma once
#include <QList>
#include <QMap>
#include <QString>

class ReportRowSource;

/// A report layout: HTML with Mustache tags, checked when it is made. Rendering
/// gives the tags every parameter by name, every row source as a list of rows,
/// and the helpers money, calc and ruled; every value is HTML-escaped, so no
/// text of a row or a parameter can change the document's markup.
///
/// Names are looked up ignoring letter case; a name may hold blanks,
/// parentheses and full stops ({{Сумма заказа}}, {{Цена(шт)}}, {{Доп.телефон}}).
/// Each row holds its fields as display text without the blanks fixed-width
/// columns pad with, `current` (true for the source's current row) and `RecNo`
/// (1-based). An empty text is false in a section. `Date` is today
/// (dd.MM.yyyy) unless a parameter of that name is set.
///
/// {{#money}}…{{/money}} writes its content as money when it reads as a number
/// and as it is otherwise. {{#calc}}…{{/calc}} takes numbers joined by + - *,
/// multiplication first, and writes the result as money; it is blank when an
/// operand is not a number. Operators count only where the layout writes them,
/// never inside a value, so a typed "5-3" is not a number rather than 2.
/// {{#ruled}}…{{/ruled}} writes its content, or a ruled blank to fill in by
/// hand when the content comes out empty.
class ReportTemplate {
public:
    /// Throws Exception naming `origin` when the tags do not pair up.
    ReportTemplate(const QString &text, const QString &origin);

    /// The text of the layout's <title>, or empty.
    QString title() const;
    /// Reads every source (the caller brackets the reading) and renders.
    QString render(const QMap<QString, QString> &parameters, const QList<ReportRowSource *> &sources) const;

private:
    QString m_text;
    QString m_origin;
};

#pragma once
#include <QHeaderView>

/// The grid's narrow first column: it marks the current row with an arrow in
/// browse state, an I-beam while the row is edited, an asterisk while inserted.
class IndicatorHeader : public QHeaderView {
    Q_OBJECT
public:
    enum class Mark { Browse, Edit, Insert };

    explicit IndicatorHeader(QWidget *parent);
    void setCurrent(int row, Mark mark);
    int currentRow() const { return m_row; }
    Mark mark() const { return m_mark; }

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;

private:
    int m_row = -1;
    Mark m_mark = Mark::Browse;
};

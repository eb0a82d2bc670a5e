#pragma once
#include "data/datasets/TDataLink.h"

#include <QStringList>
#include <memory>
#include <qcustomplot.h>

class TDataSet;
class TDataSource;

/// A bar series fed by a dataset: one bar per row, its height a numeric field
/// (empty reads as 0), its label the display text of another field, its X the
/// row's position. It empties when the dataset closes and is rebuilt from every
/// row when the dataset opens or a row is posted; nothing else rebuilds it.
/// Rows are read from the dataset's storage, so the cursor never moves and the
/// dataset's views are not disturbed. Bars are drawn as boxes with depth, down
/// from zero for a height below it, and bars narrower than a pixel are drawn
/// one pixel column at a time.
class TBarSeries : public QCPBars {
    Q_OBJECT
public:
    TBarSeries(const QString &name, QCPAxis *keyAxis, QCPAxis *valueAxis);
    ~TBarSeries() override;

    void setDataSet(TDataSet *dataSet);
    TDataSet *DataSet() const;
    void setYValueField(const QString &name) { m_yField = name; }
    void setLabelField(const QString &name) { m_labelField = name; }
    void setSeriesColor(const QColor &color);
    QColor seriesColor() const { return m_color; }

    int Count() const { return m_labels.size(); }
    double YValue(int index) const;
    const QString &Label(int index) const { return m_labels[index]; }
    const QStringList &labels() const { return m_labels; }
    double maxY() const { return m_maxY; }
    /// The smallest height, or 0 when none is below zero.
    double minY() const { return m_minY; }
    /// How many times the series was filled from its dataset.
    int rebuilds() const { return m_rebuilds; }

    /// The depth of the boxes and of the walls behind them, in pixels.
    void setDepth(int pixels) { m_depth = pixels; }
    int depth() const { return m_depth; }

signals:
    /// The points were replaced (filled or emptied).
    void pointsChanged();

protected:
    void draw(QCPPainter *painter) override;
    QRect clipRect() const override;

private:
    class Link : public TDataLink {
    public:
        explicit Link(TBarSeries *series) : m_series(series) {}

    protected:
        void activeChanged() override { m_series->follow(); }
        void posted() override { m_series->rebuild(); }

    private:
        TBarSeries *m_series;
    };

    void follow();
    void rebuild();
    void clearPoints();
    void drawWalls(QCPPainter *painter) const;
    void drawBoxes(QCPPainter *painter, int first, int last) const;
    void drawColumns(QCPPainter *painter, int first, int last) const;

    std::unique_ptr<TDataSource> m_source;
    Link m_link{this};
    QString m_yField;
    QString m_labelField;
    QStringList m_labels;
    double m_maxY = 0;
    double m_minY = 0;
    QColor m_color = Qt::red;
    int m_depth = 0;
    int m_rebuilds = 0;
};

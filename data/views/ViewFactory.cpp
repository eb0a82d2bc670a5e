#include "data/views/ViewFactory.h"
#include "data/views/TDBEdit.h"
#include "data/views/TDBNavigator.h"
#include "data/views/TDBText.h"

TDBGrid *Views::grid(QWidget *parent, const QString &name, const QString &dataSource, const QStringList &columns,
                     bool editing, const QRect &geometry) {
    auto *view = new TDBGrid(name, parent);
    TDBGrid::Options options = TDBGrid::defaultOptions();
    if (!editing)
        options &= ~TDBGrid::Options(TDBGrid::dgEditing);
    view->setOptions(options);
    view->setColumns(columns);
    view->setGeometry(geometry);
    view->setDataSourceName(dataSource);
    return view;
}

TDBEdit *Views::edit(QWidget *parent, const QString &name, const QString &dataSource, const QString &field,
                     const QRect &geometry) {
    auto *view = new TDBEdit(name, parent);
    view->setDataField(field);
    view->setGeometry(geometry);
    view->setDataSourceName(dataSource);
    return view;
}

TDBText *Views::label(QWidget *parent, const QString &name, const QString &dataSource, const QString &field,
                      const QRect &geometry) {
    auto *view = new TDBText(name, parent);
    view->setDataField(field);
    view->setGeometry(geometry);
    view->setDataSourceName(dataSource);
    return view;
}

TDBNavigator *Views::navigator(QWidget *parent, const QString &name, const QString &dataSource,
                               const QList<NavigateBtn> &visible, const QPoint &position, int width) {
    auto *view = new TDBNavigator(name, parent);
    view->setVisibleButtons(visible);
    view->setGeometry(QRect(position, QSize(width, 25)));
    view->setDataSourceName(dataSource);
    return view;
}

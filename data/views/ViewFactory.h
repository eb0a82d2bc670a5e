#pragma once
#include "data/views/NavigatorIcons.h"
#include "data/views/TDBGrid.h"

#include <QList>
#include <QRect>
#include <QStringList>

class QWidget;
class TDBEdit;
class TDBNavigator;
class TDBText;

/// Places a configured view on a window in one line, from the row of the view
/// tables: name, data source (by name), what it shows, where it stands.
namespace Views {
/// columns empty: every field. editing off: the default options without dgEditing.
TDBGrid *grid(QWidget *parent, const QString &name, const QString &dataSource, const QStringList &columns, bool editing,
              const QRect &geometry);
TDBEdit *edit(QWidget *parent, const QString &name, const QString &dataSource, const QString &field,
              const QRect &geometry);
TDBText *label(QWidget *parent, const QString &name, const QString &dataSource, const QString &field,
               const QRect &geometry);
/// Every navigator is 25 pixels high; the width is a multiple of the visible buttons.
TDBNavigator *navigator(QWidget *parent, const QString &name, const QString &dataSource,
                        const QList<NavigateBtn> &visible, const QPoint &position, int width);
} // namespace Views

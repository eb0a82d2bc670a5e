#pragma once
#include <QRectF>

class QPainter;

/// The exploded view of a grey car body in side view, nose to the left: the
/// shell with its hood, boot lid, doors, bumpers and wheels drawn apart along
/// dashed guides. Drawn in its own units; the caller scales and places it.
namespace CarDrawing {
/// Draws the car with the painter's current transformation.
void drawExplodedBody(QPainter &p);
/// What the drawing covers, shadows included, in its own units.
QRectF bounds();
} // namespace CarDrawing

#pragma once

#include <QPoint>
#include <QPointF>
#include <QString>

// Whether a left press at `press` (view pixels, compared with the page's CSS pixels) starts moving
// the frameless window. The page marks its title area with data-drag-title and the controls in it
// that must stay clickable with data-nodrag-title; the view reads their rectangles as JSON.

// The title area is taken to start at the page's top-left corner, so only its right and bottom
// edges count. A result that is not a rectangle (the page has no title area) counts as all zeros.
bool pressInDragTitle(const QPointF &press, const QString &titleRectJson);

// False when the press lies strictly inside any exempt rectangle; true otherwise, also when the
// list is empty or unreadable.
bool pressOutsideExemptions(const QPointF &press, const QString &exemptRectsJson);

// Where the window goes while dragging: the mouse's global position less the press offset, each
// rounded half away from zero.
QPoint dragWindowPosition(const QPointF &globalMouse, const QPointF &press);

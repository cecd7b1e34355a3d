#include "dragregion.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

struct Rect
{
    double left, top, right, bottom;
};

Rect rectFromJson(const QJsonObject &json)
{
    return {json.value(QLatin1String("left")).toDouble(),
            json.value(QLatin1String("top")).toDouble(),
            json.value(QLatin1String("right")).toDouble(),
            json.value(QLatin1String("bottom")).toDouble()};
}

bool strictlyInside(const QPointF &p, const Rect &r)
{
    return r.left < p.x() && p.x() < r.right && r.top < p.y() && p.y() < r.bottom;
}

} // namespace

bool pressInDragTitle(const QPointF &press, const QString &titleRectJson)
{
    const Rect title = rectFromJson(QJsonDocument::fromJson(titleRectJson.toUtf8()).object());
    return press.x() < title.right && press.y() < title.bottom;
}

bool pressOutsideExemptions(const QPointF &press, const QString &exemptRectsJson)
{
    const QJsonArray rects = QJsonDocument::fromJson(exemptRectsJson.toUtf8()).array();
    for (const QJsonValue &rect : rects) {
        if (strictlyInside(press, rectFromJson(rect.toObject())))
            return false;
    }
    return true;
}

QPoint dragWindowPosition(const QPointF &globalMouse, const QPointF &press)
{
    return {static_cast<int>(std::lround(globalMouse.x() - press.x())),
            static_cast<int>(std::lround(globalMouse.y() - press.y()))};
}

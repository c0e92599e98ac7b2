#ifndef SQUAREOUTLINE_H
#define SQUAREOUTLINE_H

#include "orbitcontrols.h"

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QString>
#include <QVector3D>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

// Where the 3 x 3 square falls in a frame, worked out from the camera's
// state (pitch, yaw, distance, target) by the test's own geometry,
// independently of the view and projection matrices the window draws with:
// the square's corners are taken into the eye's frame, the polygon is cut
// at the near (0.01) and far (100) planes, and what is left is projected
// with a 50 degree vertical field of view onto the frame's device pixels.
class SquareOutline
{
public:
    // aspect is the window's logical width over its height, which is what
    // the projection is built from; frameSize is in device pixels.
    SquareOutline(const OrbitControls &camera, double aspect, const QSize &frameSize)
    {
        const double pitch = qDegreesToRadians(double(camera.pitchDegrees()));
        const double yaw = qDegreesToRadians(double(camera.yawDegrees()));
        const QVector3D target = camera.targetPoint();
        const QVector3D offset(float(-std::cos(pitch) * std::sin(yaw)), float(std::sin(pitch)),
                               float(std::cos(yaw) * std::cos(pitch)));
        const QVector3D eye = target + offset * camera.distanceToTarget();
        const QVector3D forward = (target - eye).normalized();
        // Tilting the eye upwards is the camera's up direction.
        const QVector3D tilt(float(std::sin(pitch) * std::sin(yaw)), float(std::cos(pitch)),
                             float(-std::sin(pitch) * std::cos(yaw)));
        const QVector3D right = QVector3D::crossProduct(forward, tilt).normalized();
        const QVector3D up = QVector3D::crossProduct(right, forward);

        std::vector<Point> polygon;
        for (const QVector3D corner : {QVector3D(-1.5f, 0, -1.5f), QVector3D(1.5f, 0, -1.5f), QVector3D(1.5f, 0, 1.5f),
                                       QVector3D(-1.5f, 0, 1.5f)}) {
            const QVector3D v = corner - eye;
            polygon.push_back({double(QVector3D::dotProduct(v, right)), double(QVector3D::dotProduct(v, up)),
                               double(QVector3D::dotProduct(v, forward))});
        }
        polygon = clip(polygon, 0.01, +1);
        polygon = clip(polygon, 100.0, -1);

        const double halfHeight = std::tan(qDegreesToRadians(25.0));
        const double halfWidth = halfHeight * aspect;
        for (const Point &p : polygon) {
            outline.emplace_back((p.x / p.depth / halfWidth + 1) / 2 * frameSize.width(),
                                 (1 - p.y / p.depth / halfHeight) / 2 * frameSize.height());
        }
    }

    // Whether the square covers the point (device pixels, y downwards).
    bool covers(QPointF point) const
    {
        if (outline.size() < 3)
            return false;
        // Inside a convex polygon: on the same side of every edge.
        int sides = 0;
        for (size_t i = 0; i < outline.size(); ++i) {
            const QPointF a = outline[i], b = outline[(i + 1) % outline.size()];
            const double cross = (b.x() - a.x()) * (point.y() - a.y()) - (b.y() - a.y()) * (point.x() - a.x());
            sides |= cross > 0 ? 1 : cross < 0 ? 2 : 0;
        }
        return sides != 3;
    }

    // Distance in device pixels from the point to the nearest edge or
    // corner of the square's outline, clipped edges included.
    double distanceToOutline(QPointF point) const
    {
        double nearest = std::numeric_limits<double>::infinity();
        for (size_t i = 0; i < outline.size(); ++i) {
            const QPointF a = outline[i], b = outline[(i + 1) % outline.size()];
            const QPointF ab = b - a, ap = point - a;
            const double length2 = QPointF::dotProduct(ab, ab);
            const double t = length2 > 0 ? std::clamp(QPointF::dotProduct(ap, ab) / length2, 0.0, 1.0) : 0.0;
            const QPointF off = ap - ab * t;
            nearest = std::min(nearest, std::hypot(off.x(), off.y()));
        }
        return nearest;
    }

private:
    struct Point
    {
        double x, y, depth;
    };

    // Keeps the part of the polygon where side * (depth - plane) >= 0.
    static std::vector<Point> clip(const std::vector<Point> &polygon, double plane, int side)
    {
        std::vector<Point> kept;
        for (size_t i = 0; i < polygon.size(); ++i) {
            const Point &a = polygon[i], &b = polygon[(i + 1) % polygon.size()];
            const double da = side * (a.depth - plane), db = side * (b.depth - plane);
            if (da >= 0)
                kept.push_back(a);
            if ((da < 0) != (db < 0)) {
                const double t = da / (da - db);
                kept.push_back({a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.depth + (b.depth - a.depth) * t});
            }
        }
        return kept;
    }

    std::vector<QPointF> outline;
};

// The frame's two colours: the square's green and the background's blue, as
// 8-bit channels.
inline QColor squareColour()
{
    return {15, 157, 88};
}
inline QColor backgroundColour()
{
    return {153, 220, 236};
}

// How close to the outline a pixel's centre may lie and still be judged:
// multisampling blends the pixels the outline crosses, and a pixel's
// samples lie within about 0.7 pixels of its centre.
constexpr double OutlineBand = 1.5;

// Checks every pixel of a frame against where the camera's state puts the
// square: exactly green where the square covers it, exactly light blue where
// it does not. Pixels whose centre lies within OutlineBand of the outline may
// be either or a blend, and are not judged. Returns what is wrong, or
// nothing; counts the pixels judged on each side.
inline QString frameProblem(const QImage &frame, const OrbitControls &camera, double aspect, int *inside = nullptr,
                            int *outside = nullptr)
{
    const SquareOutline square(camera, aspect, frame.size());
    int counts[2] = {0, 0};
    for (int y = 0; y < frame.height(); ++y) {
        for (int x = 0; x < frame.width(); ++x) {
            const QPointF centre(x + 0.5, y + 0.5);
            if (square.distanceToOutline(centre) < OutlineBand)
                continue;
            const bool covered = square.covers(centre);
            const QRgb expected = (covered ? squareColour() : backgroundColour()).rgb();
            const QRgb actual = frame.pixel(x, y);
            if (qRed(actual) != qRed(expected) || qGreen(actual) != qGreen(expected)
                || qBlue(actual) != qBlue(expected)) {
                return QStringLiteral("pixel (%1, %2) is %3, not %4")
                    .arg(x)
                    .arg(y)
                    .arg(QColor(actual).name(), QColor(expected).name());
            }
            ++counts[covered];
        }
    }
    if (inside)
        *inside = counts[1];
    if (outside)
        *outside = counts[0];
    return {};
}

#endif // SQUAREOUTLINE_H

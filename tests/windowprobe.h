#ifndef WINDOWPROBE_H
#define WINDOWPROBE_H

#include "openglwindow.h"
#include "orbitcontrols.h"

#include <QCoreApplication>
#include <QImage>
#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>
#include <QtMath>

#include <cmath>

// Counts paints and keeps the frame each one leaves in the back buffer.
class ProbeWindow : public OpenGLWindow
{
public:
    using OpenGLWindow::resizeGL;
    int paints = 0;
    bool grabFrames = true;
    QImage frame;

    // An OpenGL ES 2.0 context instead of the window's own format, which is
    // otherwise kept: the shaders must also compile as GLSL ES 1.00.
    void requestOpenGLES2()
    {
        QSurfaceFormat gles = format();
        gles.setRenderableType(QSurfaceFormat::OpenGLES);
        gles.setVersion(2, 0);
        setFormat(gles);
    }

protected:
    void paintGL() override
    {
        OpenGLWindow::paintGL();
        ++paints;
        if (grabFrames)
            frame = grabFramebuffer();
    }
};

// Sends pointer events, e.g. "pL 10 10; m 12.5 8; rL 12 8; w 0 120": press or
// release button L, R or M, move, or turn the wheel by an angle delta (x, y).
inline void sendInput(QWindow &window, const QString &script)
{
    Qt::MouseButtons held;
    for (const QString &step : script.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList w = step.simplified().split(QLatin1Char(' '));
        const QPointF pos(w.at(1).toDouble(), w.at(2).toDouble());
        if (w.at(0) == QLatin1String("w")) {
            QWheelEvent wheel(pos, pos, {}, pos.toPoint(), held, {}, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(&window, &wheel);
            continue;
        }
        const Qt::MouseButton button = w.at(0).endsWith(QLatin1Char('L'))   ? Qt::LeftButton
                                       : w.at(0).endsWith(QLatin1Char('R')) ? Qt::RightButton
                                       : w.at(0).endsWith(QLatin1Char('M')) ? Qt::MiddleButton
                                                                            : Qt::NoButton;
        const QEvent::Type type = w.at(0).startsWith(QLatin1Char('p'))   ? QEvent::MouseButtonPress
                                  : w.at(0).startsWith(QLatin1Char('r')) ? QEvent::MouseButtonRelease
                                                                         : QEvent::MouseMove;
        held = type == QEvent::MouseButtonPress     ? held | button
               : type == QEvent::MouseButtonRelease ? held & ~button
                                                    : held;
        QMouseEvent mouse(type, pos, pos, button, held, {});
        QCoreApplication::sendEvent(&window, &mouse);
    }
}

// Where a frame's points fall, worked out from the camera's state (pitch,
// yaw, distance, target) by the test's own geometry, independently of the
// view and projection matrices the window draws with: the ray through a
// point meets the ground plane inside the 3 x 3 square, between the near
// and the far plane, or not.
class SquareCoverage
{
public:
    SquareCoverage(const OrbitControls &camera, const QSize &frameSize)
        : size(frameSize)
    {
        const double pitch = qDegreesToRadians(double(camera.pitchDegrees()));
        const double yaw = qDegreesToRadians(double(camera.yawDegrees()));
        const QVector3D target = camera.targetPoint();
        const QVector3D offset(float(-std::cos(pitch) * std::sin(yaw)), float(std::sin(pitch)),
                               float(std::cos(yaw) * std::cos(pitch)));
        eye = target + offset * camera.distanceToTarget();
        forward = (target - eye).normalized();
        // Tilting the eye upwards is the camera's up direction.
        const QVector3D tilt(float(std::sin(pitch) * std::sin(yaw)), float(std::cos(pitch)),
                             float(-std::sin(pitch) * std::cos(yaw)));
        right = QVector3D::crossProduct(forward, tilt).normalized();
        up = QVector3D::crossProduct(right, forward);
        // Vertical field of view 50 degrees.
        halfHeight = std::tan(qDegreesToRadians(25.0));
        halfWidth = halfHeight * size.width() / size.height();
    }

    bool covers(double x, double y) const
    {
        const double across = (2 * x / size.width() - 1) * halfWidth, along = (1 - 2 * y / size.height()) * halfHeight;
        // A ray whose component along the line of sight is 1, so that the
        // distance to the hit along the ray's parameter is its depth.
        const QVector3D ray = forward + right * float(across) + up * float(along);
        if (ray.y() == 0)
            return false;
        const float depth = -eye.y() / ray.y();
        if (depth < 0.01f || depth > 100.0f)
            return false;
        const QVector3D hit = eye + ray * depth;
        return std::abs(hit.x()) <= 1.5f && std::abs(hit.z()) <= 1.5f;
    }

    // Whether the outline may cross pixel (x, y): its centre and the eight
    // points one pixel around it do not all agree.
    bool nearOutline(int x, int y) const
    {
        const bool centre = covers(x + 0.5, y + 0.5);
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                if (covers(x + dx + 0.5, y + dy + 0.5) != centre)
                    return true;
            }
        }
        return false;
    }

private:
    QSize size;
    QVector3D eye, forward, right, up;
    double halfWidth, halfHeight;
};

// Checks every pixel of the window's last frame against where the camera's
// state puts the square: green where the square covers it,
// light blue where it does not, and either or a blend where the outline
// crosses it (multisampling). Returns what is wrong, or nothing; counts the
// pixels checked on each side.
inline QString frameProblem(const ProbeWindow &window, int *inside = nullptr, int *outside = nullptr)
{
    const QImage &frame = window.frame;
    if (frame.size() != window.size() * window.devicePixelRatio())
        return QStringLiteral("the frame is %1 x %2").arg(frame.width()).arg(frame.height());
    const SquareCoverage square(*window.controls(), frame.size());

    int counts[2] = {0, 0};
    for (int y = 0; y < frame.height(); ++y) {
        for (int x = 0; x < frame.width(); ++x) {
            if (square.nearOutline(x, y))
                continue;
            const bool covered = square.covers(x + 0.5, y + 0.5);
            const QColor expected = covered ? QColor(15, 157, 88) : QColor(153, 220, 236);
            const QColor actual = frame.pixelColor(x, y);
            if (std::abs(actual.red() - expected.red()) > 2 || std::abs(actual.green() - expected.green()) > 2
                || std::abs(actual.blue() - expected.blue()) > 2)
                return QStringLiteral("pixel (%1, %2) is %3, not %4").arg(x).arg(y).arg(actual.name(), expected.name());
            ++counts[covered];
        }
    }
    if (inside)
        *inside = counts[1];
    if (outside)
        *outside = counts[0];
    return {};
}

inline void showAndWaitForFrame(ProbeWindow &window)
{
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(window.paints > 0 && window.frame.size() == window.size() * window.devicePixelRatio());
    QTest::qWait(100); // let the first frames settle
}

#endif // WINDOWPROBE_H

#include "orbitcontrols.h"

#include <cmath>

namespace {

constexpr double Pi = 3.141592653589793;
constexpr float MaxPitch = 85.0f;
// One wheel notch (120 units of angle delta) moves the eye by 0.24 units.
constexpr float ZoomUnitsPerStep = 500.0f;
// One pixel of pan drag moves the target by 0.01 world units.
constexpr float PanPixelsPerUnit = 100.0f;

// Sine and cosine of an angle in degrees. The degree-to-radian step and the
// trigonometry run in double precision; only their results are narrowed.
void sinCosDegrees(float degrees, float &sine, float &cosine)
{
    const double radians = double(degrees / 180.0f) * Pi;
    sine = float(std::sin(radians));
    cosine = float(std::cos(radians));
}

// Pointer differences are taken in 64 bits so that no pair of int
// coordinates can overflow; every difference a real pointer produces is
// unchanged by this.
float pixelDelta(int to, int from)
{
    return float(qint64(to) - qint64(from));
}

} // namespace

OrbitControls::OrbitControls(float distance, const QVector2D &angles)
    : distance(distance)
    , pitch(angles.x())
    , yaw(angles.y())
{
}

QMatrix4x4 OrbitControls::viewMatrix() const
{
    float sP, cP, sY, cY;
    sinCosDegrees(pitch, sP, cP);
    sinCosDegrees(yaw, sY, cY);

    const QVector3D eye(target.x() + (-cP * sY) * distance, target.y() + sP * distance,
                        target.z() + (cY * cP) * distance);
    // The derivative of the eye direction with respect to pitch: always
    // perpendicular to the line of sight, so it never degenerates at the poles.
    const QVector3D up(sP * sY, cP, -sP * cY);

    QMatrix4x4 view;
    view.lookAt(eye, target, up);
    return view;
}

void OrbitControls::resize(int width, int height)
{
    // Vertical drags (pitch) scale with the width and horizontal drags (yaw)
    // with the height; in a square window yaw turns twice as fast as pitch.
    pitchSensitivity = 90.0f / float(width);
    yawSensitivity = 180.0f / float(height);
}

void OrbitControls::startRotation(int x, int y)
{
    rotating = true;
    rotateLastX = x;
    rotateLastY = y;
}

void OrbitControls::stopRotation()
{
    rotating = false;
}

void OrbitControls::startPanning(int x, int y)
{
    panning = true;
    panLastX = x;
    panLastY = y;
}

void OrbitControls::stopPanning()
{
    panning = false;
}

void OrbitControls::mouseMove(int x, int y)
{
    if (!rotating && !panning)
        return;

    if (rotating) {
        float p = pixelDelta(y, rotateLastY) * pitchSensitivity + pitch;
        // Written so that a NaN result lands on the lower limit.
        if (p > MaxPitch)
            p = MaxPitch;
        else if (!(p > -MaxPitch))
            p = -MaxPitch;
        pitch = p;
        yaw = pixelDelta(x, rotateLastX) * yawSensitivity + yaw;
        // The anchor follows the pointer even when the pitch was clamped, so
        // reversing the drag moves the camera back at once.
        rotateLastX = x;
        rotateLastY = y;
    }

    if (panning) {
        // The axes of the camera as it is now, after any rotation above.
        const QMatrix4x4 view = viewMatrix();
        const float h = pixelDelta(panLastX, x);
        const float v = pixelDelta(y, panLastY);
        panLastX = x;
        panLastY = y;
        // Row 0 of the view matrix is the camera's right axis in world
        // coordinates, row 1 its up axis.
        for (int k = 0; k < 3; ++k) {
            target[k] = (view(0, k) * h / PanPixelsPerUnit + target[k]) + view(1, k) * v / PanPixelsPerUnit;
        }
    }

    emit update();
}

void OrbitControls::zoom(float delta)
{
    distance = (-delta / ZoomUnitsPerStep) + distance;
    emit update();
}

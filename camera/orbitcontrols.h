#ifndef ORBITCONTROLS_H
#define ORBITCONTROLS_H

#include <QMatrix4x4>
#include <QObject>
#include <QVector2D>
#include <QVector3D>

// A camera that orbits a target point: the eye sits `distance` away from the
// target, raised by `pitch` and swung around the vertical axis by `yaw`
// (both in degrees). Every change made through the interaction operations is
// announced once through update().
class OrbitControls : public QObject
{
    Q_OBJECT

public:
    // angles holds (pitch, yaw) in degrees.
    OrbitControls(float distance, const QVector2D &angles);

    QMatrix4x4 viewMatrix() const;

    // Sets the drag sensitivities from the window size in logical pixels.
    void resize(int width, int height);

    void startRotation(int x, int y);
    void stopRotation();
    void startPanning(int x, int y);
    void stopPanning();
    void mouseMove(int x, int y);
    void zoom(float delta);

    float distanceToTarget() const { return distance; }
    float pitchDegrees() const { return pitch; }
    float yawDegrees() const { return yaw; }
    QVector3D targetPoint() const { return target; }

signals:
    void update();

private:
    float distance;
    float pitch;
    float yaw;
    bool rotating = false;
    int rotateLastX = 0;
    int rotateLastY = 0;
    // The values a 500 x 500 window gives, so that a drag arriving before the
    // first resize already behaves like the default window.
    float pitchSensitivity = 0.18f;
    float yawSensitivity = 0.36f;
    bool panning = false;
    int panLastX = 0;
    int panLastY = 0;
    QVector3D target;
};

#endif // ORBITCONTROLS_H

// libFuzzer target: runs any sequence of camera operations and checks the
// camera's promises after every step.
//
// Input: distance, pitch and yaw as three little-endian floats, then
// operations, each one byte (taken modulo 7) followed by its arguments:
//   0 resize(w, h)          two int32, mapped onto 1 .. INT_MAX
//   1 startRotation(x, y)   two int32
//   2 stopRotation()
//   3 startPanning(x, y)    two int32
//   4 stopPanning()
//   5 mouseMove(x, y)       two int32
//   6 zoom(delta)           one float
// Inputs whose starting values are not finite are skipped, and so are zoom
// steps whose delta is not: the camera takes finite numbers only.
#include "orbitcontrols.h"

#include <QtGlobal>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

class Reader
{
public:
    Reader(const std::uint8_t *data, size_t size)
        : data(data)
        , size(size)
    {
    }

    template<typename T> bool read(T &value)
    {
        if (size < sizeof(T))
            return false;
        std::memcpy(&value, data, sizeof(T));
        data += sizeof(T);
        size -= sizeof(T);
        return true;
    }

private:
    const std::uint8_t *data;
    size_t size;
};

int positive(std::int32_t value)
{
    return int(std::uint32_t(value) % std::uint32_t(std::numeric_limits<int>::max())) + 1;
}

// The states a user can reach in practice: a wheel gives 0.24 units a notch
// and a pan 0.01 units a pixel, so distances and targets beyond a million
// units, or a distance closer than a thousandth, take more input than anyone
// gives. There the view matrix must be finite.
bool withinReach(const OrbitControls &camera)
{
    const float distance = std::abs(camera.distanceToTarget());
    const QVector3D target = camera.targetPoint();
    return distance >= 1e-3f && distance <= 1e6f && std::abs(camera.pitchDegrees()) <= 85.0f
           && std::isfinite(camera.yawDegrees()) && std::abs(target.x()) <= 1e6f && std::abs(target.y()) <= 1e6f
           && std::abs(target.z()) <= 1e6f;
}

bool finite(const QMatrix4x4 &matrix)
{
    for (int i = 0; i < 16; ++i) {
        if (!std::isfinite(matrix.constData()[i]))
            return false;
    }
    return true;
}

// What one operation did: whether the input ran out inside it, whether the
// camera took it, and whether it must have announced a change.
enum class Step { InputEnded, Skipped, Silent, Emitting };

Step apply(std::uint8_t operation, Reader &input, OrbitControls &camera, bool &rotating, bool &panning)
{
    std::int32_t a = 0, b = 0;
    float delta = 0;
    switch (operation % 7) {
    case 0:
        if (!input.read(a) || !input.read(b))
            return Step::InputEnded;
        camera.resize(positive(a), positive(b));
        return Step::Silent;
    case 1:
        if (!input.read(a) || !input.read(b))
            return Step::InputEnded;
        camera.startRotation(a, b);
        rotating = true;
        return Step::Silent;
    case 2:
        camera.stopRotation();
        rotating = false;
        return Step::Silent;
    case 3:
        if (!input.read(a) || !input.read(b))
            return Step::InputEnded;
        camera.startPanning(a, b);
        panning = true;
        return Step::Silent;
    case 4:
        camera.stopPanning();
        panning = false;
        return Step::Silent;
    case 5:
        if (!input.read(a) || !input.read(b))
            return Step::InputEnded;
        camera.mouseMove(a, b);
        if (rotating && !(std::abs(camera.pitchDegrees()) <= 85.0f))
            qFatal("pitch %g outside [-85, 85] after a rotation", double(camera.pitchDegrees()));
        return rotating || panning ? Step::Emitting : Step::Silent;
    default:
        if (!input.read(delta))
            return Step::InputEnded;
        if (!std::isfinite(delta))
            return Step::Skipped;
        camera.zoom(delta);
        return Step::Emitting;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, size_t size)
{
    Reader input(data, size);
    float distance, pitch, yaw;
    if (!input.read(distance) || !input.read(pitch) || !input.read(yaw) || !std::isfinite(distance)
        || !std::isfinite(pitch) || !std::isfinite(yaw))
        return -1;

    OrbitControls camera(distance, QVector2D(pitch, yaw));
    int updates = 0;
    QObject::connect(&camera, &OrbitControls::update, [&updates] { ++updates; });
    bool rotating = false, panning = false;

    for (std::uint8_t operation; input.read(operation);) {
        const int before = updates;
        const Step step = apply(operation, input, camera, rotating, panning);
        if (step == Step::InputEnded)
            break;
        if (updates - before != (step == Step::Emitting ? 1 : 0))
            qFatal("operation %d emitted update %d times", operation % 7, updates - before);
        if (withinReach(camera) && !finite(camera.viewMatrix()))
            qFatal("view matrix not finite at distance %g, pitch %g, yaw %g", double(camera.distanceToTarget()),
                   double(camera.pitchDegrees()), double(camera.yawDegrees()));
    }
    return 0;
}

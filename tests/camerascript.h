#ifndef CAMERASCRIPT_H
#define CAMERASCRIPT_H

#include "orbitcontrols.h"

#include <QStringList>

// Runs calls on a camera, e.g. "S 500 500; R 0 0; M 10 5; r; Z 120":
// S resize, R/P start rotating/panning, r/p stop them, M move, Z zoom.
inline void runCameraScript(OrbitControls &camera, const QString &script)
{
    for (const QString &step : script.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList w = step.simplified().split(QLatin1Char(' '));
        const int x = w.value(1).toInt(), y = w.value(2).toInt();
        switch (w.at(0).at(0).toLatin1()) {
        case 'S': camera.resize(x, y); break;
        case 'R': camera.startRotation(x, y); break;
        case 'P': camera.startPanning(x, y); break;
        case 'r': camera.stopRotation(); break;
        case 'p': camera.stopPanning(); break;
        case 'M': camera.mouseMove(x, y); break;
        case 'Z': camera.zoom(w.at(1).toFloat()); break;
        }
    }
}

#endif // CAMERASCRIPT_H

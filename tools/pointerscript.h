#ifndef POINTERSCRIPT_H
#define POINTERSCRIPT_H

// Pointer input for a window, written as a short script, for the tests and
// for the pictures of the controls.
#include <QCoreApplication>
#include <QMouseEvent>
#include <QStringList>
#include <QWheelEvent>
#include <QWindow>

// The scroll phase a touchpad gives a wheel event, by name.
inline Qt::ScrollPhase scrollPhase(const QString &name)
{
    return name == QLatin1String("begin")      ? Qt::ScrollBegin
           : name == QLatin1String("update")   ? Qt::ScrollUpdate
           : name == QLatin1String("end")      ? Qt::ScrollEnd
           : name == QLatin1String("momentum") ? Qt::ScrollMomentum
                                               : Qt::NoScrollPhase;
}

// Sends pointer events, e.g. "pL 10 10; m 12.5 8; rL 12 8; w 0 120": press or
// release button L, R or M, move, or turn the wheel by an angle delta (x, y).
// A wheel step may add a pixel delta and a phase, as touchpads and
// high-resolution wheels send them: "w 0 15 0 4 update". "lL" drops button L
// from the held buttons without a release event, as when the desktop cancels
// a drag's pointer grab and the release never comes.
inline void sendInput(QWindow &window, const QString &script)
{
    Qt::MouseButtons held;
    for (const QString &step : script.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList w = step.simplified().split(QLatin1Char(' '));
        const QPointF pos(w.value(1).toDouble(), w.value(2).toDouble());
        if (w.at(0) == QLatin1String("w")) {
            const QPoint pixels(w.value(3).toInt(), w.value(4).toInt());
            QWheelEvent wheel(pos, pos, pixels, pos.toPoint(), held, {}, scrollPhase(w.value(5)), false);
            QCoreApplication::sendEvent(&window, &wheel);
            continue;
        }
        const Qt::MouseButton button = w.at(0).endsWith(QLatin1Char('L'))   ? Qt::LeftButton
                                       : w.at(0).endsWith(QLatin1Char('R')) ? Qt::RightButton
                                       : w.at(0).endsWith(QLatin1Char('M')) ? Qt::MiddleButton
                                                                            : Qt::NoButton;
        if (w.at(0).startsWith(QLatin1Char('l'))) {
            held &= ~button;
            continue;
        }
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

#endif // POINTERSCRIPT_H

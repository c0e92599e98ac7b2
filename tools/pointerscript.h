#ifndef POINTERSCRIPT_H
#define POINTERSCRIPT_H

// Pointer input for a window, written as a short script, for the tests and
// for the pictures of the controls.
#include <QCoreApplication>
#include <QMouseEvent>
#include <QStringList>
#include <QWheelEvent>
#include <QWindow>

// Sends pointer events, e.g. "pL 10 10; m 12.5 8; rL 12 8; w 0 120": press or
// release button L, R or M, move, or turn the wheel by an angle delta (x, y).
inline void sendInput(QWindow &window, const QString &script)
{
    Qt::MouseButtons held;
    for (const QString &step : script.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList w = step.simplified().split(QLatin1Char(' '));
        const QPointF pos(w.value(1).toDouble(), w.value(2).toDouble());
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

#endif // POINTERSCRIPT_H

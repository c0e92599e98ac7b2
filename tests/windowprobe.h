#ifndef WINDOWPROBE_H
#define WINDOWPROBE_H

#include "openglwindow.h"
#include "orbitcontrols.h"
#include "pointerscript.h"
#include "slowmachine.h"
#include "squareoutline.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTest>

#include <cmath>

// Counts paints and keeps the frame each one leaves in the back buffer. A
// paint the window asked for itself, through update(), arrives as an update
// request; one the desktop asks for (an expose, a compositor redrawing its
// scene) arrives otherwise, and is counted apart.
class ProbeWindow : public OpenGLWindow
{
public:
    using OpenGLWindow::resizeGL;
    int paints = 0;        // the window's own
    int desktopPaints = 0; // the desktop's
    bool grabFrames = true;
    QImage frame;
    QElapsedTimer sinceLastPaint;

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
    bool event(QEvent *event) override
    {
        const bool outer = handling == QEvent::None;
        if (outer)
            handling = event->type();
        const bool handled = OpenGLWindow::event(event);
        if (outer)
            handling = QEvent::None;
        return handled;
    }

    void paintGL() override
    {
        OpenGLWindow::paintGL();
        ++(handling == QEvent::UpdateRequest ? paints : desktopPaints);
        sinceLastPaint.start();
        if (grabFrames)
            frame = grabFramebuffer();
    }

private:
    QEvent::Type handling = QEvent::None;
};

// Checks the window's last frame against where its camera puts the square
// (see frameProblem).
inline QString frameProblem(const ProbeWindow &window, int *inside = nullptr, int *outside = nullptr)
{
    if (window.frame.size() != window.size() * window.devicePixelRatio())
        return QStringLiteral("the frame is %1 x %2").arg(window.frame.width()).arg(window.frame.height());
    return frameProblem(window.frame, *window.controls(), double(window.width()) / window.height(), inside, outside);
}

// Why the window's frames cannot be judged here, or nothing. QOpenGLWindow
// sets the viewport to the window's logical size times its device pixel
// ratio, truncated, while the surface has that size rounded: where the
// product is not whole (a Wayland compositor that makes a window of 500 at
// 1.25 one of 499), the last column or row of device pixels is never drawn.
// That is Qt's doing, not the viewer's, which leaves the viewport to Qt.
inline QString truncatedViewport(const QWindow &window)
{
    const qreal ratio = window.devicePixelRatio();
    const qreal width = window.width() * ratio, height = window.height() * ratio;
    if (width == std::floor(width) && height == std::floor(height))
        return {};
    return QStringLiteral("Qt %1's QOpenGLWindow draws this %2 x %3 window at ratio %4 into a viewport it truncates to "
                          "%5 x %6 device pixels, short of its surface")
        .arg(QString::fromLatin1(qVersion()))
        .arg(window.width())
        .arg(window.height())
        .arg(ratio)
        .arg(int(width))
        .arg(int(height));
}

// Waits until no frame at all has been drawn for a while, counted from now
// at the earliest: a compositor may send a few of its own after a window
// appears or changes, and a frame the window has asked for takes a few
// milliseconds to come. A window that keeps repainting itself never settles.
inline void waitUntilSettled(ProbeWindow &window)
{
    const int quiet = scaledWait(300);
    QTest::qWait(quiet);
    QTRY_VERIFY2_WITH_TIMEOUT(window.sinceLastPaint.isValid() && window.sinceLastPaint.elapsed() >= quiet,
                              "the window never stops drawing frames", scaledWait(10000));
}

inline void showAndWaitForFrame(ProbeWindow &window)
{
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window, defaultWait()));
    QTRY_VERIFY_WITH_TIMEOUT(window.paints + window.desktopPaints > 0
                                 && window.frame.size() == window.size() * window.devicePixelRatio(),
                             defaultWait());
    waitUntilSettled(window);
}

// Checks that sending the events costs the window exactly `frames` frames of
// its own, and that the desktop's frames do not count. One exception: a
// frame the desktop asks for while a frame of the window's is pending
// draws that frame instead, so then it counts.
inline void verifyOwnFrames(ProbeWindow &window, const QString &events, int frames)
{
    const int painted = window.paints, desktopPainted = window.desktopPaints;
    sendInput(window, events);
    QTRY_VERIFY_WITH_TIMEOUT(window.paints + window.desktopPaints >= painted + desktopPainted + frames, defaultWait());
    waitUntilSettled(window);
    const int own = window.paints - painted;
    if (own + 1 == frames && window.desktopPaints > desktopPainted)
        return;
    QCOMPARE(own, frames);
}

#endif // WINDOWPROBE_H

#include "openglwindow.h"

#include "orbitcontrols.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QSurfaceFormat>
#include <QVector2D>
#include <QWheelEvent>

#include <cmath>
#include <limits>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

namespace {

// A unit square centred on the origin, ordered for a triangle strip; one
// vertex a line.
// clang-format off
constexpr GLfloat SquareVertices[] = {
    -0.5f, -0.5f,
     0.5f, -0.5f,
    -0.5f,  0.5f,
     0.5f,  0.5f,
};
// clang-format on

// Rounds half away from zero. The fraction is compared with one half:
// adding 0.5 and truncating rounds the largest double below one half up to
// 1, and so does the round() of some C libraries, MinGW-w64's among them.
// The subtraction is exact. Out-of-range coordinates saturate instead of
// overflowing the conversion.
int roundCoordinate(qreal value)
{
    const qreal whole = std::trunc(value);
    const qreal rounded = std::abs(value - whole) >= qreal(0.5) ? whole + std::copysign(qreal(1), value) : whole;
    return int(qBound(qreal(std::numeric_limits<int>::min()), rounded, qreal(std::numeric_limits<int>::max())));
}

} // namespace

OpenGLWindow::OpenGLWindow()
    : QOpenGLWindow(QOpenGLWindow::NoPartialUpdate)
{
    setTitle(QString::fromUtf8("OpenGL ES 2.0, Qt6, C++"));
    resize(500, 500);

    QSurfaceFormat surfaceFormat;
    surfaceFormat.setDepthBufferSize(24);
    surfaceFormat.setSamples(4);
    setFormat(surfaceFormat);

    orbitControls = std::make_unique<OrbitControls>(5.0f, QVector2D(30.0f, 0.0f));
    connect(orbitControls.get(), &OrbitControls::update, this, &OpenGLWindow::onCameraUpdate);
}

// The program and the buffer are released by their destructors, which run
// after this body: with the window's context current, as Qt asks of
// QOpenGLWindow subclasses, they delete their GL objects in that context
// rather than leaving them to whichever context happens to be current.
OpenGLWindow::~OpenGLWindow()
{
    makeCurrent();
}

QString OpenGLWindow::contextProblem() const
{
    const QOpenGLContext *glContext = context();
    if (!glContext || !glContext->isValid()) {
        return QStringLiteral("no OpenGL context could be created on the \"%1\" platform")
            .arg(QGuiApplication::platformName());
    }
    if (QOpenGLContext::currentContext() != glContext)
        return QStringLiteral("the OpenGL context could not be made current");
    const QSurfaceFormat actual = glContext->format();
    if (actual.majorVersion() < 2) {
        return QStringLiteral("OpenGL 2.0 or OpenGL ES 2.0 is needed, the driver offers %1.%2")
            .arg(actual.majorVersion())
            .arg(actual.minorVersion());
    }
    return {};
}

void OpenGLWindow::fail(const QString &problem)
{
    glFailed = true;
    const QString message = QStringLiteral("orbitviewer: OpenGL could not be initialised: %1").arg(problem);
    qCritical().noquote() << message;
#ifdef Q_OS_WIN
    // A GUI program started from the desktop has no console, and the line
    // above reaches no one; show it instead. Where the process has somewhere
    // to write to (a terminal, a pipe, a file), that is enough.
    if (!GetStdHandle(STD_ERROR_HANDLE)) {
        MessageBoxW(nullptr, reinterpret_cast<const wchar_t *>(message.utf16()), L"orbitviewer", MB_OK | MB_ICONERROR);
    }
#endif
    // Queued, so that it also ends an event loop that has not started yet.
    const auto exitWithFailure = [] { QCoreApplication::exit(1); };
    QMetaObject::invokeMethod(QCoreApplication::instance(), exitWithFailure, Qt::QueuedConnection);
}

bool OpenGLWindow::event(QEvent *event)
{
    // Qt's paint path calls into the context before paintGL runs; without a
    // usable one there is nothing to draw until the process has ended.
    if (glFailed && (event->type() == QEvent::Paint || event->type() == QEvent::UpdateRequest))
        return true;
    return QOpenGLWindow::event(event);
}

void OpenGLWindow::initializeGL()
{
    // Without a usable context every GL call below would go through null
    // function pointers; say why and leave with a failure status instead.
    const QString problem = contextProblem();
    if (!problem.isEmpty()) {
        fail(problem);
        return;
    }
    initializeOpenGLFunctions();
    glClearColor(0.6f, 0.862f, 0.925f, 1.0f);

    // A driver that rejects the shaders would otherwise leave a window that
    // shows only the background and a process that ends as if all was well.
    program.create();
    if (!program.addShaderFromSourceFile(QOpenGLShader::Vertex, QStringLiteral(":/assets/shaders/color.vert"))
        || !program.addShaderFromSourceFile(QOpenGLShader::Fragment, QStringLiteral(":/assets/shaders/color.frag"))
        || !program.link()) {
        fail(QStringLiteral("the driver did not build the shaders: %1").arg(program.log().trimmed()));
        return;
    }
    program.bind();
    // No other shader is ever compiled: once the first frame is on screen,
    // let the driver drop its compiler's state and give the heap that frees
    // back to the system. Done then rather than here, it does not delay
    // that frame.
    connect(
        this, &QOpenGLWindow::frameSwapped, this,
        [this] {
            makeCurrent();
            glReleaseShaderCompiler();
#ifdef __GLIBC__
            malloc_trim(0);
#endif
        },
        Qt::SingleShotConnection);

    vertPosBuffer.create();
    vertPosBuffer.bind();
    vertPosBuffer.allocate(SquareVertices, sizeof(SquareVertices));

    program.setAttributeBuffer("aPosition", GL_FLOAT, 0, 2, 0);
    program.enableAttributeArray("aPosition");

    uMvpMatrixLocation = program.uniformLocation("uMvpMatrix");

    viewMatrix = orbitControls->viewMatrix();
}

void OpenGLWindow::resizeGL(int w, int h)
{
    // A collapsed window has no aspect ratio and would give an infinite drag
    // sensitivity; keep the last good values until it has a real size again.
    if (glFailed || w <= 0 || h <= 0)
        return;

    projMatrix.setToIdentity();
    projMatrix.perspective(50.0f, float(w) / float(h), 0.01f, 100.0f);
    orbitControls->resize(w, h);
}

void OpenGLWindow::paintGL()
{
    glClear(GL_COLOR_BUFFER_BIT);

    modelMatrix.setToIdentity();
    modelMatrix.translate(0.0f, 0.0f, 0.0f);
    modelMatrix.rotate(90.0f, 1.0f, 0.0f, 0.0f);
    modelMatrix.scale(3.0f, 3.0f, 1.0f);

    projViewMatrix = projMatrix * viewMatrix;
    mvpMatrix = projViewMatrix * modelMatrix;
    program.setUniformValue(uMvpMatrixLocation, mvpMatrix);

    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

void OpenGLWindow::onCameraUpdate()
{
    viewMatrix = orbitControls->viewMatrix();
    update();
}

void OpenGLWindow::mousePressEvent(QMouseEvent *event)
{
    const int x = roundCoordinate(event->position().x());
    const int y = roundCoordinate(event->position().y());
    if (event->button() == Qt::LeftButton)
        orbitControls->startRotation(x, y);
    else if (event->button() == Qt::RightButton)
        orbitControls->startPanning(x, y);
}

void OpenGLWindow::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        orbitControls->stopRotation();
    else if (event->button() == Qt::RightButton)
        orbitControls->stopPanning();
}

void OpenGLWindow::mouseMoveEvent(QMouseEvent *event)
{
    // A desktop that cancels a pointer grab mid-drag (a lock screen, a popup,
    // the window hidden) may never send the release. The button's absence
    // from a later move ends that drag, so that hovering does not orbit.
    if (!event->buttons().testFlag(Qt::LeftButton))
        orbitControls->stopRotation();
    if (!event->buttons().testFlag(Qt::RightButton))
        orbitControls->stopPanning();
    orbitControls->mouseMove(roundCoordinate(event->position().x()), roundCoordinate(event->position().y()));
}

void OpenGLWindow::wheelEvent(QWheelEvent *event)
{
    orbitControls->zoom(float(event->angleDelta().y()));
}

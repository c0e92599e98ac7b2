#include <QColor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QProcess>
#include <QScopeGuard>
#include <QScreen>
#include <QSize>
#include <QTemporaryDir>
#include <QTest>

#include "orbitcontrols.h"
#include "slowmachine.h"
#include "squareoutline.h"
#include "stackedscale.h"
#include "xwindows.h"

#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <cmath>
#include <utility>

// What the window shows on screen, as the X server has it: after the swap,
// so with the multisampled frame resolved.
static QImage screenImage(Display *display, Window window)
{
    XWindowAttributes attributes;
    XGetWindowAttributes(display, window, &attributes);
    XImage *image = XGetImage(display, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (!image)
        return {};
    QImage copy(attributes.width, attributes.height, QImage::Format_RGB32);
    for (int y = 0; y < attributes.height; ++y) {
        for (int x = 0; x < attributes.width; ++x)
            copy.setPixel(x, y, QRgb(XGetPixel(image, x, y))); // 24-bit TrueColor: 0xRRGGBB
    }
    XDestroyImage(image);
    return copy;
}

// The window's on-screen frame once it has stopped changing.
static QImage settledScreenImage(Display *display, Window window)
{
    QImage last = screenImage(display, window), current;
    QTest::qWait(scaledWait(300));
    for (int tries = 0; tries < 60 && (current = screenImage(display, window)) != last; ++tries) {
        last = current;
        QTest::qWait(scaledWait(300));
    }
    return current;
}

// Whether the X server's GLX offers windows a 4x multisampled configuration
// at all. Debian 12's Xvfb does; Debian 13's offers none, and there no
// program's edges can be blended.
static bool serverOffersMultisampling(Display *display)
{
    // clang-format off
    const int attributes[] = {
        GLX_DRAWABLE_TYPE, GLX_WINDOW_BIT,
        GLX_RENDER_TYPE, GLX_RGBA_BIT,
        GLX_DOUBLEBUFFER, True,
        GLX_SAMPLE_BUFFERS, 1,
        GLX_SAMPLES, 4,
        None,
    };
    // clang-format on
    int count = 0;
    GLXFBConfig *configs = glXChooseFBConfig(display, DefaultScreen(display), attributes, &count);
    XFree(configs);
    return count > 0;
}

// The scale the viewer runs at: the device pixel ratio Qt gives a window on
// this screen, in this environment, which the viewer started from it gets
// too. The suite runs at several scales (QT_SCALE_FACTOR), and a desktop may
// add its own (KDE's X11 session sets QT_SCREEN_SCALE_FACTORS).
static double scaleFactor()
{
    return QGuiApplication::primaryScreen()->devicePixelRatio();
}

// Where a device pixel of the screen arrives in the window: in logical
// pixels, rounded half away from zero.
static int logical(int device)
{
    return int(std::lround(device / scaleFactor()));
}

// Checks the window's on-screen frame against where the camera puts the
// square; also counts the pixels near the outline whose colour is neither
// the square's nor the background's.
static QString screenProblem(const QImage &image, const OrbitControls &camera, int *blended = nullptr)
{
    if (image.isNull())
        return QStringLiteral("the window could not be read");
    QString problem = frameProblem(image, camera, double(image.width()) / image.height());
    if (!problem.isEmpty() || !blended)
        return problem;
    *blended = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb colour = image.pixel(x, y) | 0xff000000;
            *blended += colour != squareColour().rgb() && colour != backgroundColour().rgb();
        }
    }
    return {};
}

// On Wayland there is no X server to find the window or close it through.
// The viewer, started from this environment, takes the platform this test
// took.
static bool onWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

// Why a row that works through Mesa's own variables cannot run here, or
// nothing: the driver this environment gives a window, which the viewer
// started from it gets too, must be Mesa.
static QString notMesa()
{
    QOffscreenSurface surface;
    surface.create();
    QOpenGLContext context;
    if (!context.create() || !context.makeCurrent(&surface))
        return QStringLiteral("needs Mesa's variables, and no OpenGL context can be had here to ask the driver");
    const auto *version = reinterpret_cast<const char *>(context.functions()->glGetString(GL_VERSION));
    if (QByteArray(version).contains("Mesa"))
        return {};
    return QStringLiteral("needs Mesa's variables, and the driver is not Mesa (OpenGL %1)")
        .arg(QString::fromLatin1(version));
}

class TestOrbitViewer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void startAndClose_data();
    void startAndClose();
    void startOnWayland();
    void drag();
    void noOpenGL_data();
    void noOpenGL();
    void shadersRejected_data();
    void shadersRejected();
    void fullScreenUnderEglfs();

private:
    void runToFailure(QByteArray *error);

    QTemporaryDir runtimeDir;
    QProcess viewer;
    QStringList viewerArguments; // the command's own, before a test's
};

void TestOrbitViewer::init()
{
    // A desktop session has a runtime directory (the Wayland session's
    // socket is in it); without one Qt warns on start.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!environment.contains(QStringLiteral("XDG_RUNTIME_DIR")))
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir.path());
    viewer.setProcessEnvironment(environment);
    // This build's viewer, or the command ORBITVIEWER_COMMAND names: another
    // build of it, such as a Windows one run through Wine on this X server.
    const QStringList command = QProcess::splitCommand(qEnvironmentVariable("ORBITVIEWER_COMMAND"));
    viewer.setProgram(command.isEmpty() ? QStringLiteral(ORBITVIEWER_PATH) : command.first());
    viewerArguments = command.mid(1);
    viewer.setArguments(viewerArguments);
}

void TestOrbitViewer::cleanup()
{
    viewer.kill();
    viewer.waitForFinished(scaledWait(30000));
}

void TestOrbitViewer::startAndClose_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("openGL"); // QT_OPENGL, which Qt reads on Windows
    QTest::addColumn<QByteArray>("title");
    QTest::addColumn<QSize>("size"); // logical pixels
    const QByteArray title("OpenGL ES 2.0, Qt6, C++");
    // clang-format off
    QTest::newRow("no arguments") << QStringList() << QString() << title << QSize(500, 500);
    QTest::newRow("arguments that are not Qt's") << QStringList{"--frobnicate", "scene.obj", "-v"} << QString()
                                                 << title << QSize(500, 500);
    // The viewer asks for the desktop driver, which outranks the variable:
    // no fallback, no warning about one.
    QTest::newRow("software OpenGL asked for") << QStringList() << "software" << title << QSize(500, 500);
    // Qt's own options reach Qt as they were typed, letters beyond ASCII
    // included; on Windows through the wide command line.
    const QString otherTitle = QStringLiteral("Orbit Viewer \u00e9t\u00e9 \u03a9");
    QTest::newRow("Qt's window options") << QStringList{"-qwindowtitle", otherTitle, "-qwindowgeometry", "640x400+0+0"}
                                         << QString() << otherTitle.toUtf8() << QSize(640, 400);
    // clang-format on
}

void TestOrbitViewer::startAndClose()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, openGL);
    QFETCH(QByteArray, title);
    QFETCH(QSize, size);
    if (onWayland())
        QSKIP("finding and closing the window from outside needs X11");
    if (const QString reason = stackedScale(scaleFactor()); !reason.isEmpty())
        QSKIP(qPrintable(reason));
    Display *display = XOpenDisplay(nullptr);
    QVERIFY2(display, "needs an X server");
    const auto closeDisplay = qScopeGuard([display] { XCloseDisplay(display); });

    if (!openGL.isEmpty()) {
        QProcessEnvironment environment = viewer.processEnvironment();
        environment.insert(QStringLiteral("QT_OPENGL"), openGL);
        viewer.setProcessEnvironment(environment);
    }
    viewer.setArguments(viewerArguments + arguments);
    viewer.start();
    Window window = 0;
    QTRY_VERIFY_WITH_TIMEOUT((window = findTopLevelWindow(display, title.constData())) != 0, scaledWait(20000));
    XWindowAttributes attributes;
    XGetWindowAttributes(display, window, &attributes);
    QCOMPARE(QSize(attributes.width, attributes.height), size * scaleFactor());
    // The first frame, from the default camera, as a user sees it: the
    // square's outline smoothed by multisampling.
    OrbitControls camera(5.0f, QVector2D(30.0f, 0.0f));
    int blended = 0;
    QTRY_VERIFY_WITH_TIMEOUT(screenProblem(screenImage(display, window), camera, &blended).isEmpty(),
                             scaledWait(20000));
    if (serverOffersMultisampling(display))
        QVERIFY2(blended > 200, qPrintable(QStringLiteral("only %1 pixels on the outline are blended").arg(blended)));
    else
        qInfo("this X server offers no multisampled GLX configuration, so the outline cannot be blended");

    requestClose(display, window);

    QVERIFY(viewer.waitForFinished(scaledWait(20000)));
    QCOMPARE(viewer.readAllStandardOutput() + viewer.readAllStandardError(), QByteArray());
    QCOMPARE(viewer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(viewer.exitCode(), 0);
}

// A real pointer through the X server: device pixels that arrive as
// fractional logical positions at the scales that are not whole numbers.
// The frame must show the camera where the same drags, rounded, take it.
void TestOrbitViewer::drag()
{
    if (onWayland())
        QSKIP("sending pointer input from outside needs X11");
    if (const QString reason = stackedScale(scaleFactor()); !reason.isEmpty())
        QSKIP(qPrintable(reason));
    Display *display = XOpenDisplay(nullptr);
    QVERIFY2(display, "needs an X server");
    const auto closeDisplay = qScopeGuard([display] { XCloseDisplay(display); });
    int event = 0, error = 0, major = 0, minor = 0;
    QVERIFY2(XTestQueryExtension(display, &event, &error, &major, &minor), "needs the XTest extension");

    viewer.start();
    Window window = 0;
    QTRY_VERIFY_WITH_TIMEOUT((window = findTopLevelWindow(display, "OpenGL ES 2.0, Qt6, C++")) != 0, scaledWait(20000));
    OrbitControls camera(5.0f, QVector2D(30.0f, 0.0f));
    QTRY_VERIFY_WITH_TIMEOUT(screenProblem(screenImage(display, window), camera).isEmpty(), scaledWait(20000));
    XWindowAttributes attributes;
    XGetWindowAttributes(display, window, &attributes);
    camera.resize(logical(attributes.width), logical(attributes.height));
    int left = 0, top = 0;
    Window child = 0;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &left, &top, &child);
    const auto send = [&](auto fake) {
        fake();
        XSync(display, False);
        QTest::qWait(30);
    };
    const auto moveTo
        = [&](int x, int y) { send([&] { XTestFakeMotionEvent(display, -1, left + x, top + y, CurrentTime); }); };
    const auto button = [&](unsigned int which, bool down) {
        send([&] { XTestFakeButtonEvent(display, which, down, CurrentTime); });
    };

    // Closer first, so that a pixel of drag moves the square's corners by
    // several: ten wheel notches away from the user.
    moveTo(376, 376);
    for (int notch = 0; notch < 10; ++notch) {
        button(4, true);
        button(4, false);
        camera.zoom(120);
    }
    // Orbit, then pan, each starting where a fraction rounds up and ending
    // where one rounds down (at 1.5: 250.67 to 301.33 and 201.33), so that
    // rounding any other way ends elsewhere.
    const auto dragWith = [&](unsigned int which, QPoint from, QPoint to) {
        moveTo(from.x(), from.y());
        button(which, true);
        if (which == 1)
            camera.startRotation(logical(from.x()), logical(from.y()));
        else
            camera.startPanning(logical(from.x()), logical(from.y()));
        for (const QPoint p : {(from + to) / 2, to}) {
            moveTo(p.x(), p.y());
            camera.mouseMove(logical(p.x()), logical(p.y()));
        }
        button(which, false);
        camera.stopRotation();
        camera.stopPanning();
    };
    dragWith(1, QPoint(376, 376), QPoint(452, 302));
    dragWith(3, QPoint(376, 376), QPoint(302, 422));

    const QString problem = screenProblem(settledScreenImage(display, window), camera);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

// A Wayland compositor offers no way to close another client's window, so
// the viewer is left running for a while, then ended.
void TestOrbitViewer::startOnWayland()
{
    if (!onWayland())
        QSKIP("runs in the Wayland session only");
    viewer.start();
    QVERIFY(viewer.waitForStarted(scaledWait(30000)));
    QVERIFY2(!viewer.waitForFinished(scaledWait(3000)), viewer.readAllStandardError().constData());
    QCOMPARE(viewer.readAllStandardOutput() + viewer.readAllStandardError(), QByteArray());
}

// Starts the viewer, which must end by itself with status 1 and leave in
// *error what it wrote to stderr.
void TestOrbitViewer::runToFailure(QByteArray *error)
{
    viewer.start();
    QVERIFY(viewer.waitForFinished(scaledWait(20000)));
    QCOMPARE(viewer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(viewer.exitCode(), 1);
    *error = viewer.readAllStandardError();
}

void TestOrbitViewer::noOpenGL_data()
{
    QTest::addColumn<QString>("variable");
    QTest::addColumn<QString>("value");
    // clang-format off
    QTest::newRow("offscreen, no X server") << "QT_QPA_PLATFORM" << "offscreen";
    QTest::newRow("X server without GL") << "QT_XCB_GL_INTEGRATION" << "none";
    QTest::newRow("OpenGL 1.4 only") << "MESA_GL_VERSION_OVERRIDE" << "1.4";
    // clang-format on
}

void TestOrbitViewer::noOpenGL()
{
    QFETCH(QString, variable);
    QFETCH(QString, value);
    if (onWayland() && variable.startsWith(QLatin1String("QT_XCB")))
        QSKIP("an X11 setting");
    if (const QString reason = variable.startsWith(QLatin1String("MESA_")) ? notMesa() : QString(); !reason.isEmpty())
        QSKIP(qPrintable(reason));
    if (variable.startsWith(QLatin1String("MESA_GL_")) && QOpenGLContext::openGLModuleType() == QOpenGLContext::LibGLES)
        QSKIP("Mesa's desktop OpenGL version does not bound the ES contexts of a Qt built for OpenGL ES 2.0");
    QProcessEnvironment environment = viewer.processEnvironment();
    environment.insert(variable, value);
    if (value == QLatin1String("offscreen"))
        environment.remove(QStringLiteral("DISPLAY"));
    viewer.setProcessEnvironment(environment);

    QByteArray error;
    runToFailure(&error);
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(error.contains("orbitviewer: OpenGL could not be initialised: "), error.constData());
}

void TestOrbitViewer::shadersRejected_data()
{
    QTest::addColumn<QByteArray>("vertex");   // the driver's vertex shader instead of the viewer's; empty keeps it
    QTest::addColumn<QByteArray>("fragment"); // the same for the fragment shader
    // clang-format off
    QTest::newRow("vertex shader does not compile") << QByteArray("void main() { gl_Position = vec4(1.0) }")
                                                    << QByteArray();
    QTest::newRow("fragment shader does not compile") << QByteArray()
                                                      << QByteArray("void main() { gl_FragColor = colour; }");
    QTest::newRow("program does not link") << QByteArray("void notMain() {}") << QByteArray();
    // clang-format on
}

// A driver that rejects the shaders. Mesa replaces a shader's source with
// the file named after the source's hash in MESA_SHADER_READ_PATH; a first
// run with MESA_SHADER_DUMP_PATH writes the sources under those names.
void TestOrbitViewer::shadersRejected()
{
    QFETCH(QByteArray, vertex);
    QFETCH(QByteArray, fragment);
    if (const QString reason = notMesa(); !reason.isEmpty())
        QSKIP(qPrintable(reason));
    QTemporaryDir dumped, replaced;
    QProcessEnvironment environment = viewer.processEnvironment();
    environment.insert(QStringLiteral("MESA_SHADER_DUMP_PATH"), dumped.path());
    viewer.setProcessEnvironment(environment);
    viewer.start();
    // Qt may compile shaders of its own (Wayland's decorations); the
    // viewer's are told by their text.
    const QDir dump(dumped.path());
    const auto dumpedShader = [&dump](const QString &pattern, const QByteArray &text) {
        for (const QString &name : dump.entryList({pattern}, QDir::Files)) {
            QFile file(dump.filePath(name));
            if (file.open(QIODevice::ReadOnly) && file.readAll().contains(text))
                return name;
        }
        return QString();
    };
    QString vertexShader, fragmentShader;
    QTRY_VERIFY_WITH_TIMEOUT(
        !(vertexShader = dumpedShader(QStringLiteral("VS_*.glsl"), "uMvpMatrix")).isEmpty()
            && !(fragmentShader = dumpedShader(QStringLiteral("FS_*.glsl"), "vec4(0.058, 0.615, 0.345, 1.0)"))
                    .isEmpty(),
        scaledWait(20000));
    viewer.kill();
    viewer.waitForFinished(scaledWait(30000));
    for (const auto &[name, text] : {std::pair(vertexShader, vertex), {fragmentShader, fragment}}) {
        if (text.isEmpty())
            continue;
        QFile file(QDir(replaced.path()).filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    environment.remove(QStringLiteral("MESA_SHADER_DUMP_PATH"));
    environment.insert(QStringLiteral("MESA_SHADER_READ_PATH"), replaced.path());
    viewer.setProcessEnvironment(environment);
    QByteArray error;
    runToFailure(&error);
    if (QTest::currentTestFailed())
        return;
    const QByteArray expected("orbitviewer: OpenGL could not be initialised: the driver did not build the shaders: ");
    const qsizetype reason = error.indexOf(expected);
    QVERIFY2(reason >= 0, error.constData());
    // Qt's log of what the driver said follows.
    QVERIFY2(error.mid(reason + expected.size()).trimmed().size() > 10, error.constData());
}

// Full screen without a desktop, as boards run the viewer: Qt's eglfs
// platform, here on this X server through its X11 device integration where
// a board would use its display's own. The window fills the screen, whose
// shape is not square, so the frame checks the projection's aspect too.
// Pointer input under eglfs comes from evdev or libinput devices, which a
// virtual X server does not have, so only the frame is checked.
void TestOrbitViewer::fullScreenUnderEglfs()
{
    if (onWayland())
        QSKIP("eglfs's X11 integration needs an X server");
    if (scaleFactor() != 1)
        QSKIP("eglfs is checked in the run at the screen's own scale");
    Display *display = XOpenDisplay(nullptr);
    QVERIFY2(display, "needs an X server");
    const auto closeDisplay = qScopeGuard([display] { XCloseDisplay(display); });

    QProcessEnvironment environment = viewer.processEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("eglfs"));
    environment.insert(QStringLiteral("QT_QPA_EGLFS_INTEGRATION"), QStringLiteral("eglfs_x11"));
    viewer.setProcessEnvironment(environment);
    viewer.start();
    Window window = 0;
    QTRY_VERIFY_WITH_TIMEOUT((window = findTopLevelWindow(display, "EGLFS")) != 0, scaledWait(20000));
    const QSize screen(DisplayWidth(display, DefaultScreen(display)), DisplayHeight(display, DefaultScreen(display)));
    XWindowAttributes attributes;
    XGetWindowAttributes(display, window, &attributes);
    QCOMPARE(QSize(attributes.width, attributes.height), screen);
    const OrbitControls camera(5.0f, QVector2D(30.0f, 0.0f));
    QString problem;
    QTRY_VERIFY2_WITH_TIMEOUT((problem = screenProblem(screenImage(display, window), camera)).isEmpty(),
                              qPrintable(problem), scaledWait(20000));
}

QTEST_MAIN(TestOrbitViewer)
#include "tst_orbitviewer.moc"

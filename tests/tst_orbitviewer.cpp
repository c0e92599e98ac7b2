#include <QColor>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include "xwindows.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

static QColor pixel(Display *display, Window window, int x, int y)
{
    XImage *image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
    const QColor colour = QColor::fromRgb(QRgb(XGetPixel(image, 0, 0))); // 24-bit TrueColor: 0xRRGGBB
    XDestroyImage(image);
    return colour;
}

// The Wayland run: no X server to find the window or close it through.
static bool onWayland()
{
    return qEnvironmentVariable("QT_QPA_PLATFORM") == QLatin1String("wayland");
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
    void noOpenGL_data();
    void noOpenGL();

private:
    QTemporaryDir runtimeDir;
    QProcess viewer;
};

void TestOrbitViewer::init()
{
    // A desktop session has a runtime directory (the Wayland session's
    // socket is in it); without one Qt warns on start.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!environment.contains(QStringLiteral("XDG_RUNTIME_DIR")))
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir.path());
    viewer.setProcessEnvironment(environment);
    viewer.setProgram(QStringLiteral(ORBITVIEWER_PATH));
}

void TestOrbitViewer::cleanup()
{
    viewer.kill();
    viewer.waitForFinished();
}

void TestOrbitViewer::startAndClose_data()
{
    QTest::addColumn<QStringList>("arguments");
    // clang-format off
    QTest::newRow("no arguments") << QStringList();
    QTest::newRow("arguments that are not Qt's") << QStringList{"--frobnicate", "scene.obj", "-v"};
    // clang-format on
}

void TestOrbitViewer::startAndClose()
{
    QFETCH(QStringList, arguments);
    if (onWayland())
        QSKIP("finding and closing the window from outside needs X11");
    Display *display = XOpenDisplay(nullptr);
    QVERIFY2(display, "needs an X server");
    const auto closeDisplay = qScopeGuard([display] { XCloseDisplay(display); });

    viewer.setArguments(arguments);
    viewer.start();
    Window window = 0;
    QTRY_VERIFY_WITH_TIMEOUT((window = findTopLevelWindow(display, "OpenGL ES 2.0, Qt6, C++")) != 0, 20000);
    XWindowAttributes attributes;
    XGetWindowAttributes(display, window, &attributes);
    QCOMPARE(QSize(attributes.width, attributes.height), QSize(500, 500));
    // The first frame: the square in the middle, the background in a corner.
    QTRY_VERIFY_WITH_TIMEOUT(pixel(display, window, 250, 250) == QColor(15, 157, 88), 20000);
    QCOMPARE(pixel(display, window, 2, 2), QColor(153, 220, 236));

    requestClose(display, window);

    QVERIFY(viewer.waitForFinished(20000));
    QCOMPARE(viewer.readAllStandardOutput() + viewer.readAllStandardError(), QByteArray());
    QCOMPARE(viewer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(viewer.exitCode(), 0);
}

// A Wayland compositor offers no way to close another client's window, so
// the viewer is left running for a while, then ended.
void TestOrbitViewer::startOnWayland()
{
    if (!onWayland())
        QSKIP("runs in the Wayland session only");
    viewer.start();
    QVERIFY(viewer.waitForStarted());
    QVERIFY2(!viewer.waitForFinished(3000), viewer.readAllStandardError().constData());
    QCOMPARE(viewer.readAllStandardOutput() + viewer.readAllStandardError(), QByteArray());
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
    QProcessEnvironment environment = viewer.processEnvironment();
    environment.insert(variable, value);
    if (value == QLatin1String("offscreen"))
        environment.remove(QStringLiteral("DISPLAY"));
    viewer.setProcessEnvironment(environment);

    viewer.start();
    QVERIFY(viewer.waitForFinished(20000));
    QCOMPARE(viewer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(viewer.exitCode(), 1);
    const QByteArray error = viewer.readAllStandardError();
    QVERIFY2(error.contains("orbitviewer: OpenGL could not be initialised: "), error.constData());
}

QTEST_GUILESS_MAIN(TestOrbitViewer)
#include "tst_orbitviewer.moc"

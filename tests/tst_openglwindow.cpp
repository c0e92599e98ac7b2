#include "camerascript.h"
#include "windowprobe.h"

#include <QOpenGLContext>
#include <QSignalSpy>

// Checks the window's last frame; both the square and the background must be
// well in view.
static void verifyFrame(const ProbeWindow &window)
{
    int inside = 0, outside = 0;
    const QString problem = frameProblem(window, &inside, &outside);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QVERIFY2(inside > 2000 && outside > 2000, "both the square and the background must be in view");
}

class TestOpenGLWindow : public QObject
{
    Q_OBJECT

private slots:
    void frame_data();
    void frame();
    void input_data();
    void input();
    void collapsedWindow();
};

void TestOpenGLWindow::frame_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("gles"); // an OpenGL ES 2.0 context instead of the window's own
    QTest::addColumn<QString>("events");
    QTest::addColumn<int>("frames"); // repaints the events cause

    QString drag = QStringLiteral("pL 250 250;");
    for (int i = 1; i <= 40; ++i)
        drag += QStringLiteral("m %1 %2;").arg(250 + 2 * i).arg(250 - i);
    const QSize square(500, 500);
    // clang-format off
    QTest::newRow("default pose, idle") << square << false << "" << 0;
    QTest::newRow("forty orbit moves") << square << false << drag + "rL 330 210" << 1;
    QTest::newRow("from below") << square << false << "pL 250 400; m 255 200; m 260 0; rL 260 0" << 1;
    QTest::newRow("panned") << square << false << "pR 250 250; m 200 300; m 150 320; rR 150 320" << 1;
    QTest::newRow("ten wheel steps in") << square << false << QStringLiteral("w 0 60;").repeated(10) << 1;
    QTest::newRow("zoomed out") << square << false << "w 0 -2400" << 1;
    QTest::newRow("horizontal wheel step") << square << false << "w 120 0" << 1;
    QTest::newRow("moves without a drag") << square << false << "m 10 10; m 20 20" << 0;
    QTest::newRow("middle drag") << square << false << "pM 1 1; m 5 5; rM 5 5" << 0;
    QTest::newRow("wide, orbited") << QSize(800, 400) << false << "pL 400 200; m 300 260; rL 300 260" << 1;
    QTest::newRow("tall") << QSize(300, 600) << false << "" << 0;
    QTest::newRow("OpenGL ES 2.0, default pose") << square << true << "" << 0;
    QTest::newRow("OpenGL ES 2.0, orbited and panned") << square << true
        << "pL 250 250; pR 250 250; m 300 200; rL 300 200; m 250 260; rR 250 260" << 1;
    // clang-format on
}

// Many camera changes between two frames cost one repaint, and the frame
// shows the camera's latest state.
void TestOpenGLWindow::frame()
{
    QFETCH(QSize, size);
    QFETCH(bool, gles);
    QFETCH(QString, events);
    QFETCH(int, frames);

    ProbeWindow window;
    window.resize(size);
    if (gles)
        window.requestOpenGLES2();
    showAndWaitForFrame(window);
    QCOMPARE(window.context()->isOpenGLES(), gles);
    // The suite also runs with Mesa limited to an older OpenGL; make sure
    // that is what the window got.
    const QSurfaceFormat actual = window.context()->format();
    if (!gles && qEnvironmentVariableIsSet("MESA_GL_VERSION_OVERRIDE"))
        QCOMPARE(QStringLiteral("%1.%2").arg(actual.majorVersion()).arg(actual.minorVersion()),
                 qEnvironmentVariable("MESA_GL_VERSION_OVERRIDE"));
    // The suite also runs with QT_SCALE_FACTOR=2: the same window in logical
    // pixels, drawn at twice the resolution.
    QCOMPARE(window.devicePixelRatio(), qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1")).toDouble());
    const int painted = window.paints;
    sendInput(window, events);
    QTRY_VERIFY(window.paints >= painted + frames);
    QTest::qWait(250);
    QCOMPARE(window.paints - painted, frames);
    verifyFrame(window);
}

void TestOpenGLWindow::input_data()
{
    QTest::addColumn<QString>("events");
    QTest::addColumn<QString>("calls");

    // clang-format off
    QTest::newRow("left orbits") << "pL 100 100; m 110 80; rL 110 80; m 150 150" << "R 100 100; M 110 80; r; M 150 150";
    QTest::newRow("right pans") << "pR 100 100; m 90 130; rR 90 130; m 0 0" << "P 100 100; M 90 130; p; M 0 0";
    QTest::newRow("middle does nothing") << "pM 100 100; m 150 150; rM 150 150" << "M 150 150";
    QTest::newRow("both buttons") << "pL 100 100; pR 120 100; m 130 140; rL 130 140; m 100 100; rR 100 100"
                                  << "R 100 100; P 120 100; M 130 140; r; M 100 100; p";
    QTest::newRow("halves away from zero") << "pR 0.5 -0.5; pL 0 0; m 10.5 -2.5; m 10.49 2.5; m -7.5 0.5"
                                           << "P 1 -1; R 0 0; M 11 -3; M 10 3; M -8 1";
    QTest::newRow("vertical wheel only") << "w 0 120; w 0 -240; w 120 0; w 30 15" << "Z 120; Z -240; Z 0; Z 15";
    // clang-format on
}

// The window's camera must end where the same calls take a fresh 500 x 500
// camera. The window is never shown, so this also covers drags that arrive
// before the first resize.
void TestOpenGLWindow::input()
{
    QFETCH(QString, events);
    QFETCH(QString, calls);

    OpenGLWindow window;
    QSignalSpy windowUpdates(window.controls(), &OrbitControls::update);
    sendInput(window, events);
    OrbitControls expected(5.0f, QVector2D(30, 0));
    QSignalSpy expectedUpdates(&expected, &OrbitControls::update);
    runCameraScript(expected, QStringLiteral("S 500 500;") + calls);

    QCOMPARE(window.controls()->viewMatrix(), expected.viewMatrix());
    QCOMPARE(window.controls()->pitchDegrees(), expected.pitchDegrees());
    QCOMPARE(windowUpdates.count(), expectedUpdates.count());
}

void TestOpenGLWindow::collapsedWindow()
{
    ProbeWindow window;
    showAndWaitForFrame(window);
    window.resizeGL(0, 500);
    window.resizeGL(500, 0);
    const int painted = window.paints;

    // Drags and frames go on with the last real size's sensitivities and projection...
    sendInput(window, QStringLiteral("pL 0 0; m 10 10; rL 10 10"));
    QCOMPARE(window.controls()->pitchDegrees(), 30 + 10 * 0.18f);
    QTRY_VERIFY(window.paints > painted);
    verifyFrame(window);

    // ...until the next real size restores both.
    window.resize(600, 300);
    QTRY_COMPARE(window.frame.size(), QSize(600, 300) * window.devicePixelRatio());
    verifyFrame(window);
    sendInput(window, QStringLiteral("pL 0 0; m 10 10; rL 10 10"));
    QCOMPARE(window.controls()->pitchDegrees(), 30 + 10 * 0.18f + 10 * 0.15f);
    QCOMPARE(window.controls()->yawDegrees(), 10 * 0.36f + 10 * 0.6f);
}

QTEST_MAIN(TestOpenGLWindow)
#include "tst_openglwindow.moc"

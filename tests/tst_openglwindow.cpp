#include "openglwindow.h"
#include "orbitcontrols.h"

#include <QSignalSpy>
#include <QTest>
#include <QVector4D>

#include <cmath>
#include <limits>

namespace {

const QColor SquareGreen(15, 157, 88);
const QColor BackgroundBlue(153, 220, 236);

// Counts paints and keeps the frame each one left in the back buffer.
class ProbeWindow : public OpenGLWindow
{
public:
    using OpenGLWindow::resizeGL;

    int paints = 0;
    QImage frame;

protected:
    void paintGL() override
    {
        OpenGLWindow::paintGL();
        ++paints;
        frame = grabFramebuffer();
    }
};

// Sends a script of pointer events, e.g. "pL 10 10; m 12.5 8; rL 12 8; w 0 120":
// p/r press/release a button (L, R or M), m moves, w turns the wheel (x, y).
void sendInput(QWindow &window, const QString &script)
{
    Qt::MouseButtons held;
    const auto steps = script.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString &step : steps) {
        const QStringList words = step.simplified().split(QLatin1Char(' '));
        const QString op = words.at(0);
        const QPointF pos(words.value(words.size() - 2).toDouble(), words.value(words.size() - 1).toDouble());
        if (op == QLatin1String("w")) {
            QWheelEvent wheel(pos, window.mapToGlobal(pos), QPoint(), pos.toPoint(), held, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(&window, &wheel);
            continue;
        }
        Qt::MouseButton button = Qt::NoButton;
        if (op.size() == 2)
            button = op[1] == QLatin1Char('L') ? Qt::LeftButton : op[1] == QLatin1Char('R') ? Qt::RightButton : Qt::MiddleButton;
        QEvent::Type type = QEvent::MouseMove;
        if (op[0] == QLatin1Char('p')) {
            type = QEvent::MouseButtonPress;
            held |= button;
        } else if (op[0] == QLatin1Char('r')) {
            type = QEvent::MouseButtonRelease;
            held &= ~button;
        }
        QMouseEvent mouse(type, pos, window.mapToGlobal(pos), button, held, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &mouse);
    }
}

// Replays calls on a camera: "R x y" / "P x y" start rotating / panning,
// "r" / "p" stop them, "M x y" moves, "Z d" zooms.
void replayCalls(OrbitControls &controls, const QString &script)
{
    const auto steps = script.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString &step : steps) {
        const QStringList w = step.simplified().split(QLatin1Char(' '));
        const QChar op = w.at(0).at(0);
        if (op == QLatin1Char('R'))
            controls.startRotation(w.at(1).toInt(), w.at(2).toInt());
        else if (op == QLatin1Char('P'))
            controls.startPanning(w.at(1).toInt(), w.at(2).toInt());
        else if (op == QLatin1Char('r'))
            controls.stopRotation();
        else if (op == QLatin1Char('p'))
            controls.stopPanning();
        else if (op == QLatin1Char('M'))
            controls.mouseMove(w.at(1).toInt(), w.at(2).toInt());
        else if (op == QLatin1Char('Z'))
            controls.zoom(w.at(1).toFloat());
    }
}

bool sameColour(const QColor &a, const QColor &b)
{
    return std::abs(a.red() - b.red()) <= 2 && std::abs(a.green() - b.green()) <= 2
           && std::abs(a.blue() - b.blue()) <= 2;
}

struct FrameCheck
{
    int wrong = 0;
    int square = 0;
    int background = 0;
    QString firstWrong;
};

// Projects the square's world corners through the test's own perspective and
// the camera's view, then checks every pixel of the frame: more than a pixel
// inside the outline it must be green, more than a pixel outside it blue.
// The band in between is where multisampling blends the two.
FrameCheck checkFrame(const QImage &frame, const QMatrix4x4 &view)
{
    FrameCheck result;
    const qreal width = frame.width();
    const qreal height = frame.height();
    QMatrix4x4 projection;
    projection.perspective(50.0f, float(width / height), 0.01f, 100.0f);
    const QMatrix4x4 projView = projection * view;

    const QVector3D corners[] = {{-1.5f, 0, -1.5f}, {1.5f, 0, -1.5f}, {1.5f, 0, 1.5f}, {-1.5f, 0, 1.5f}};
    QPointF outline[4];
    qreal area = 0;
    for (int i = 0; i < 4; ++i) {
        const QVector4D clip = projView * QVector4D(corners[i], 1.0f);
        if (clip.w() <= 0.01f) {
            result.wrong = -1;
            result.firstWrong = QStringLiteral("a corner lies behind the camera");
            return result;
        }
        outline[i] = QPointF((clip.x() / clip.w() + 1) / 2 * width, (1 - clip.y() / clip.w()) / 2 * height);
    }
    for (int i = 0; i < 4; ++i) {
        const QPointF &a = outline[i];
        const QPointF &b = outline[(i + 1) % 4];
        area += a.x() * b.y() - b.x() * a.y();
    }
    const qreal orientation = area > 0 ? 1 : -1;

    for (int y = 0; y < frame.height(); ++y) {
        for (int x = 0; x < frame.width(); ++x) {
            const QPointF p(x + 0.5, y + 0.5);
            qreal inside = std::numeric_limits<qreal>::max();
            for (int i = 0; i < 4; ++i) {
                const QPointF edge = outline[(i + 1) % 4] - outline[i];
                const QPointF rel = p - outline[i];
                const qreal distance = orientation * (edge.x() * rel.y() - edge.y() * rel.x()) / std::hypot(edge.x(), edge.y());
                inside = std::min(inside, distance);
            }
            if (std::abs(inside) < 1.0)
                continue;
            const QColor expected = inside > 0 ? SquareGreen : BackgroundBlue;
            const QColor actual = frame.pixelColor(x, y);
            if (!sameColour(actual, expected)) {
                if (result.wrong++ == 0)
                    result.firstWrong = QStringLiteral("(%1, %2) is %3").arg(x).arg(y).arg(actual.name());
            } else {
                ++(inside > 0 ? result.square : result.background);
            }
        }
    }
    return result;
}

void showAndWaitForFrame(ProbeWindow &window)
{
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(window.paints > 0 && window.frame.size() == window.size());
}

void verifyFrame(const ProbeWindow &window)
{
    const FrameCheck check = checkFrame(window.frame, window.controls()->viewMatrix());
    QVERIFY2(check.wrong == 0, qPrintable(QStringLiteral("%1 wrong pixels, first %2").arg(check.wrong).arg(check.firstWrong)));
    QVERIFY2(check.square > 2000 && check.background > 2000,
             qPrintable(QStringLiteral("%1 square, %2 background pixels").arg(check.square).arg(check.background)));
}

} // namespace

class TestOpenGLWindow : public QObject
{
    Q_OBJECT

private slots:
    void frame_data();
    void frame();
    void input_data();
    void input();
    void repaints_data();
    void repaints();
    void collapsedWindow();
};

void TestOpenGLWindow::frame_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<int>("wheel");

    QTest::newRow("default pose") << QSize(500, 500) << Qt::NoButton << QPoint() << QPoint() << 0;
    QTest::newRow("orbited") << QSize(500, 500) << Qt::LeftButton << QPoint(250, 250) << QPoint(330, 200) << 0;
    QTest::newRow("seen from below") << QSize(500, 500) << Qt::LeftButton << QPoint(250, 400) << QPoint(260, 0) << 0;
    QTest::newRow("panned") << QSize(500, 500) << Qt::RightButton << QPoint(250, 250) << QPoint(150, 320) << 0;
    QTest::newRow("zoomed in") << QSize(500, 500) << Qt::NoButton << QPoint() << QPoint() << 600;
    QTest::newRow("zoomed out") << QSize(500, 500) << Qt::NoButton << QPoint() << QPoint() << -2400;
    QTest::newRow("wide window, orbited") << QSize(800, 400) << Qt::LeftButton << QPoint(400, 200) << QPoint(300, 260) << 0;
    QTest::newRow("tall window") << QSize(300, 600) << Qt::NoButton << QPoint() << QPoint() << 0;
}

void TestOpenGLWindow::frame()
{
    QFETCH(QSize, size);
    QFETCH(Qt::MouseButton, button);
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QFETCH(int, wheel);

    ProbeWindow window;
    window.resize(size);
    showAndWaitForFrame(window);
    const QMatrix4x4 initialView = window.controls()->viewMatrix();
    const int painted = window.paints;

    if (button != Qt::NoButton) {
        QTest::mousePress(&window, button, Qt::NoModifier, from);
        QTest::mouseMove(&window, (from + to) / 2);
        QTest::mouseMove(&window, to);
        QTest::mouseRelease(&window, button, Qt::NoModifier, to);
    }
    if (wheel != 0)
        sendInput(window, QStringLiteral("w 0 %1").arg(wheel));
    if (button != Qt::NoButton || wheel != 0) {
        QVERIFY(window.controls()->viewMatrix() != initialView);
        QTRY_VERIFY(window.paints > painted);
    }
    verifyFrame(window);
}

void TestOpenGLWindow::input_data()
{
    QTest::addColumn<QString>("events");
    QTest::addColumn<QString>("calls");

    QTest::newRow("left drag orbits") << "pL 100 100; m 110 80; rL 110 80; m 150 150"
                                      << "R 100 100; M 110 80; r; M 150 150";
    QTest::newRow("right drag pans") << "pR 100 100; m 90 130; rR 90 130; m 0 0"
                                     << "P 100 100; M 90 130; p; M 0 0";
    QTest::newRow("middle drag does nothing") << "pM 100 100; m 150 150; rM 150 150" << "M 150 150";
    QTest::newRow("both buttons rotate, then pan")
        << "pL 100 100; pR 120 100; m 130 140; rL 130 140; m 100 100; rR 100 100"
        << "R 100 100; P 120 100; M 130 140; r; M 100 100; p";
    QTest::newRow("halves round away from zero") << "pL 0 0; m 10.5 -2.5; m 10.49 2.5; m -7.5 0.5"
                                                 << "R 0 0; M 11 -3; M 10 3; M -8 1";
    QTest::newRow("press position is rounded too") << "pR 0.5 -0.5; m 0 0" << "P 1 -1; M 0 0";
    QTest::newRow("wheel uses the vertical delta") << "w 0 120; w 0 -240; w 120 0; w 30 15"
                                                   << "Z 120; Z -240; Z 0; Z 15";
    QTest::newRow("release and move without press") << "rL 40 40; m 50 50; rR 0 0" << "r; M 50 50; p";
}

// The window's camera must end where the same calls take a camera of its own;
// the window is never shown, so this also covers drags before the first resize.
void TestOpenGLWindow::input()
{
    QFETCH(QString, events);
    QFETCH(QString, calls);

    OpenGLWindow window;
    QSignalSpy windowUpdates(window.controls(), &OrbitControls::update);
    sendInput(window, events);

    OrbitControls expected(5.0f, QVector2D(30, 0));
    expected.resize(500, 500);
    QSignalSpy expectedUpdates(&expected, &OrbitControls::update);
    replayCalls(expected, calls);

    const OrbitControls &actual = *window.controls();
    QCOMPARE(actual.pitchDegrees(), expected.pitchDegrees());
    QCOMPARE(actual.yawDegrees(), expected.yawDegrees());
    QCOMPARE(actual.distanceToTarget(), expected.distanceToTarget());
    QCOMPARE(actual.targetPoint(), expected.targetPoint());
    QCOMPARE(windowUpdates.count(), expectedUpdates.count());
}

void TestOpenGLWindow::repaints_data()
{
    QTest::addColumn<QString>("events");
    QTest::addColumn<int>("frames");

    QString drag = QStringLiteral("pL 100 100;");
    for (int x = 101; x <= 140; ++x)
        drag += QStringLiteral("m %1 100;").arg(x);
    drag += QStringLiteral("rL 140 100");

    QTest::newRow("ten wheel steps") << QStringLiteral("w 0 120;").repeated(10) << 1;
    QTest::newRow("horizontal wheel step") << "w 120 0" << 1;
    QTest::newRow("forty drag moves") << drag << 1;
    QTest::newRow("moves without a drag") << "m 10 10; m 20 20" << 0;
    QTest::newRow("middle drag") << "pM 1 1; m 5 5; rM 5 5" << 0;
    QTest::newRow("nothing") << "" << 0;
}

void TestOpenGLWindow::repaints()
{
    QFETCH(QString, events);
    QFETCH(int, frames);

    ProbeWindow window;
    showAndWaitForFrame(window);
    QTest::qWait(100);
    const int painted = window.paints;

    sendInput(window, events);
    if (frames > 0)
        QTRY_VERIFY(window.paints >= painted + frames);
    QTest::qWait(250);
    QCOMPARE(window.paints - painted, frames);
}

void TestOpenGLWindow::collapsedWindow()
{
    ProbeWindow window;
    showAndWaitForFrame(window);

    window.resizeGL(0, 500);
    window.resizeGL(500, 0);
    window.resizeGL(0, 0);

    // The drag still uses the sensitivities of the last real size, and the
    // frame still uses its projection.
    const int painted = window.paints;
    sendInput(window, QStringLiteral("pL 0 0; m 10 10; rL 10 10"));
    QCOMPARE(window.controls()->pitchDegrees(), 30.0f + 10 * 0.18f);
    QCOMPARE(window.controls()->yawDegrees(), 10 * 0.36f);
    QTRY_VERIFY(window.paints > painted);
    verifyFrame(window);

    // The next real size restores both.
    window.resize(600, 300);
    QTRY_VERIFY(window.frame.size() == QSize(600, 300));
    verifyFrame(window);
    sendInput(window, QStringLiteral("pL 0 0; m 10 10; rL 10 10"));
    QCOMPARE(window.controls()->pitchDegrees(), 30.0f + 10 * 0.18f + 10 * 0.15f);
    QCOMPARE(window.controls()->yawDegrees(), 10 * 0.36f + 10 * 0.6f);
}

QTEST_MAIN(TestOpenGLWindow)
#include "tst_openglwindow.moc"

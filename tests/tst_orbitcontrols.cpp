#include "orbitcontrols.h"

#include <QSignalSpy>
#include <QTest>
#include <QtMath>

#include <cmath>

namespace {

bool near(float a, float b, float tolerance = 1e-5f)
{
    return std::abs(a - b) <= tolerance;
}

bool near(const QVector3D &a, const QVector3D &b, float tolerance = 1e-5f)
{
    return (a - b).length() <= tolerance;
}

QVector3D eyeOf(const QMatrix4x4 &view)
{
    return view.inverted().map(QVector3D());
}

// Row 0 of a view matrix is the camera's right axis in world coordinates,
// row 1 its up axis.
QVector3D axisOf(const QMatrix4x4 &view, int row)
{
    return view.row(row).toVector3D();
}

} // namespace

class TestOrbitControls : public QObject
{
    Q_OBJECT

private slots:
    void viewMatrix_data();
    void viewMatrix();
    void eyeOnTargetGivesIdentity();
    void rotate_data();
    void rotate();
    void pan_data();
    void pan();
    void rotateThenPanInOneMove();
    void zoom_data();
    void zoom();
    void updateSignal();
};

void TestOrbitControls::viewMatrix_data()
{
    QTest::addColumn<float>("distance");
    QTest::addColumn<QVector2D>("angles");
    QTest::addColumn<QVector3D>("eye");
    QTest::addColumn<QVector3D>("up");

    QTest::newRow("default pose") << 5.0f << QVector2D(30, 0)
                                  << QVector3D(0, 2.5f, 4.3301268f) << QVector3D(0, 0.8660254f, -0.5f);
    QTest::newRow("positive yaw swings towards -x") << 5.0f << QVector2D(0, 90)
                                                     << QVector3D(-5, 0, 0) << QVector3D(0, 1, 0);
    QTest::newRow("looking straight down") << 5.0f << QVector2D(90, 0)
                                           << QVector3D(0, 5, 0) << QVector3D(0, 0, -1);
    QTest::newRow("negative pitch is below") << 2.0f << QVector2D(-30, 180)
                                             << QVector3D(0, -1, -1.7320508f) << QVector3D(0, 0.8660254f, -0.5f);
    QTest::newRow("negative distance crosses over") << -5.0f << QVector2D(30, 0)
                                                    << QVector3D(0, -2.5f, -4.3301268f) << QVector3D(0, 0.8660254f, -0.5f);
}

void TestOrbitControls::viewMatrix()
{
    QFETCH(float, distance);
    QFETCH(QVector2D, angles);
    QFETCH(QVector3D, eye);
    QFETCH(QVector3D, up);

    const OrbitControls controls(distance, angles);
    const QMatrix4x4 view = controls.viewMatrix();

    QVERIFY2(near(eyeOf(view), eye), qPrintable(QDebug::toString(eyeOf(view))));
    QVERIFY2(near(axisOf(view, 1), up), qPrintable(QDebug::toString(axisOf(view, 1))));
    // The camera looks at the target: the target lies on the view axis.
    const QVector3D targetInView = view.map(QVector3D());
    QVERIFY(near(targetInView.x(), 0) && near(targetInView.y(), 0));
    QVERIFY(near(-targetInView.z(), std::abs(distance)));
}

void TestOrbitControls::eyeOnTargetGivesIdentity()
{
    const OrbitControls controls(0.0f, QVector2D(30, 45));
    QVERIFY(controls.viewMatrix().isIdentity());
}

void TestOrbitControls::rotate_data()
{
    QTest::addColumn<QSize>("window");
    QTest::addColumn<QVector2D>("angles");
    QTest::addColumn<QList<QPoint>>("pointer"); // press, then moves
    QTest::addColumn<float>("pitch");
    QTest::addColumn<float>("yaw");

    QTest::newRow("down raises pitch, right raises yaw")
        << QSize(500, 500) << QVector2D(30, 0) << QList<QPoint>{{100, 100}, {110, 120}} << 33.6f << 3.6f;
    QTest::newRow("pitch scales with width, yaw with height")
        << QSize(1000, 250) << QVector2D(30, 0) << QList<QPoint>{{0, 0}, {10, 10}} << 30.9f << 7.2f;
    QTest::newRow("clamped at 85, anchor follows the pointer")
        << QSize(500, 500) << QVector2D(80, 0) << QList<QPoint>{{0, 0}, {0, 100}, {0, 90}} << 83.2f << 0.0f;
    QTest::newRow("clamped at -85")
        << QSize(500, 500) << QVector2D(-80, 0) << QList<QPoint>{{0, 0}, {0, -100}} << -85.0f << 0.0f;
    QTest::newRow("exactly 85 stays") << QSize(500, 500) << QVector2D(85, 0)
                                      << QList<QPoint>{{0, 0}, {0, 0}} << 85.0f << 0.0f;
    QTest::newRow("exactly -85 stays") << QSize(500, 500) << QVector2D(-85, 0)
                                       << QList<QPoint>{{0, 0}, {0, 0}} << -85.0f << 0.0f;
    QTest::newRow("yaw is not wrapped") << QSize(500, 500) << QVector2D(0, 350)
                                        << QList<QPoint>{{0, 0}, {100, 0}} << 0.0f << 386.0f;
    QTest::newRow("yaw goes below -360") << QSize(500, 500) << QVector2D(0, -350)
                                         << QList<QPoint>{{100, 0}, {0, 0}} << 0.0f << -386.0f;
}

void TestOrbitControls::rotate()
{
    QFETCH(QSize, window);
    QFETCH(QVector2D, angles);
    QFETCH(QList<QPoint>, pointer);
    QFETCH(float, pitch);
    QFETCH(float, yaw);

    OrbitControls controls(5.0f, angles);
    controls.resize(window.width(), window.height());
    controls.startRotation(pointer.first().x(), pointer.first().y());
    for (qsizetype i = 1; i < pointer.size(); ++i)
        controls.mouseMove(pointer[i].x(), pointer[i].y());

    QVERIFY2(near(controls.pitchDegrees(), pitch, 1e-4f), qPrintable(QString::number(controls.pitchDegrees())));
    QVERIFY2(near(controls.yawDegrees(), yaw, 1e-4f), qPrintable(QString::number(controls.yawDegrees())));
    QCOMPARE(controls.distanceToTarget(), 5.0f);
    QCOMPARE(controls.targetPoint(), QVector3D());
}

void TestOrbitControls::pan_data()
{
    QTest::addColumn<QVector2D>("angles");
    QTest::addColumn<QPoint>("drag");
    QTest::addColumn<QVector3D>("target");

    // A drag to the right moves the target to the camera's left; a drag
    // downwards moves it along the camera's up axis.
    QTest::newRow("right, default pose") << QVector2D(30, 0) << QPoint(10, 0) << QVector3D(-0.1f, 0, 0);
    QTest::newRow("down, default pose") << QVector2D(30, 0) << QPoint(0, 10)
                                        << QVector3D(0, 0.08660254f, -0.05f);
    QTest::newRow("right, seen from -x") << QVector2D(0, 90) << QPoint(10, 0) << QVector3D(0, 0, -0.1f);
    QTest::newRow("up-left, seen from -x") << QVector2D(0, 90) << QPoint(-20, -30) << QVector3D(0, -0.3f, 0.2f);
}

void TestOrbitControls::pan()
{
    QFETCH(QVector2D, angles);
    QFETCH(QPoint, drag);
    QFETCH(QVector3D, target);

    OrbitControls controls(5.0f, angles);
    const QMatrix4x4 before = controls.viewMatrix();
    controls.startPanning(250, 250);
    controls.mouseMove(250 + drag.x(), 250 + drag.y());

    QVERIFY2(near(controls.targetPoint(), target), qPrintable(QDebug::toString(controls.targetPoint())));
    // The eye moves with the target; the view direction does not change.
    const QMatrix4x4 after = controls.viewMatrix();
    QVERIFY(near(eyeOf(after) - eyeOf(before), target));
    for (int row = 0; row < 3; ++row)
        QVERIFY(near(axisOf(after, row), axisOf(before, row)));
    QCOMPARE(controls.pitchDegrees(), angles.x());
    QCOMPARE(controls.yawDegrees(), angles.y());
}

void TestOrbitControls::rotateThenPanInOneMove()
{
    OrbitControls both(5.0f, QVector2D(30, 0));
    QSignalSpy updates(&both, &OrbitControls::update);
    both.startRotation(0, 0);
    both.startPanning(0, 0);
    both.mouseMove(0, 50);
    QCOMPARE(updates.count(), 1);

    // The same move done as a rotation, then a pan with the rotated axes.
    OrbitControls stepwise(5.0f, QVector2D(30, 0));
    stepwise.startRotation(0, 0);
    stepwise.mouseMove(0, 50);
    stepwise.stopRotation();
    stepwise.startPanning(0, 0);
    stepwise.mouseMove(0, 50);

    QVERIFY(near(both.pitchDegrees(), 39.0f, 1e-4f));
    QVERIFY2(near(both.targetPoint(), stepwise.targetPoint()), qPrintable(QDebug::toString(both.targetPoint())));
    QVERIFY(near(both.targetPoint(), QVector3D(0, 0.5f * std::cos(qDegreesToRadians(39.0f)),
                                               -0.5f * std::sin(qDegreesToRadians(39.0f)))));
}

void TestOrbitControls::zoom_data()
{
    QTest::addColumn<QList<float>>("deltas");
    QTest::addColumn<float>("distance");

    QTest::newRow("wheel towards the user moves away") << QList<float>{-120} << 5.24f;
    QTest::newRow("wheel away moves closer") << QList<float>{120} << 4.76f;
    QTest::newRow("zero delta") << QList<float>{0} << 5.0f;
    QTest::newRow("fine-grained delta") << QList<float>{15, 15} << 4.94f;
    QTest::newRow("down to just above the target") << QList<float>(20, 120.0f) << 0.2000008f;
    QTest::newRow("through the target") << QList<float>(21, 120.0f) << -0.0399992f;
}

void TestOrbitControls::zoom()
{
    QFETCH(QList<float>, deltas);
    QFETCH(float, distance);

    OrbitControls controls(5.0f, QVector2D(30, 0));
    QSignalSpy updates(&controls, &OrbitControls::update);
    for (float delta : deltas)
        controls.zoom(delta);

    QVERIFY2(near(controls.distanceToTarget(), distance, 1e-6f),
             qPrintable(QString::number(controls.distanceToTarget(), 'g', 9)));
    QCOMPARE(updates.count(), deltas.size());
    QVERIFY(std::isfinite(controls.viewMatrix()(0, 0)));
}

void TestOrbitControls::updateSignal()
{
    OrbitControls controls(5.0f, QVector2D(30, 0));
    QSignalSpy updates(&controls, &OrbitControls::update);
    const QMatrix4x4 initial = controls.viewMatrix();

    controls.resize(800, 600);
    controls.mouseMove(40, 40);
    controls.startRotation(0, 0);
    controls.startPanning(0, 0);
    controls.stopRotation();
    controls.stopPanning();
    controls.mouseMove(80, 80);
    QCOMPARE(updates.count(), 0);
    QCOMPARE(controls.viewMatrix(), initial);

    // A drag that does not move still counts as a step.
    controls.startRotation(5, 5);
    controls.mouseMove(5, 5);
    QCOMPARE(updates.count(), 1);
    controls.startPanning(5, 5);
    controls.mouseMove(6, 6);
    QCOMPARE(updates.count(), 2);
    controls.stopRotation();
    controls.mouseMove(7, 7);
    QCOMPARE(updates.count(), 3);
}

QTEST_GUILESS_MAIN(TestOrbitControls)
#include "tst_orbitcontrols.moc"

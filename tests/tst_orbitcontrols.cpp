#include "camerascript.h"

#include <QSignalSpy>
#include <QTest>

#include <limits>

static bool near(const QVector3D &a, const QVector3D &b, float tolerance = 1e-5f)
{
    return (a - b).length() <= tolerance;
}

class TestOrbitControls : public QObject
{
    Q_OBJECT

private slots:
    void viewMatrix_data();
    void viewMatrix();
    void operations_data();
    void operations();
};

void TestOrbitControls::viewMatrix_data()
{
    QTest::addColumn<float>("distance");
    QTest::addColumn<QVector2D>("angles");
    QTest::addColumn<QString>("script"); // run before the view is taken
    QTest::addColumn<QVector3D>("eye");
    QTest::addColumn<QVector3D>("up");

    // clang-format off
    QTest::newRow("default") << 5.0f << QVector2D(30, 0) << "" << QVector3D(0, 2.5f, 4.3301268f)
                             << QVector3D(0, 0.8660254f, -0.5f);
    QTest::newRow("yaw 90 swings to -x") << 5.0f << QVector2D(0, 90) << "" << QVector3D(-5, 0, 0) << QVector3D(0, 1, 0);
    QTest::newRow("straight down") << 5.0f << QVector2D(90, 0) << "" << QVector3D(0, 5, 0) << QVector3D(0, 0, -1);
    QTest::newRow("negative distance") << -5.0f << QVector2D(30, 0) << "" << QVector3D(0, -2.5f, -4.3301268f)
                                       << QVector3D(0, 0.8660254f, -0.5f);
    QTest::newRow("eye on target: identity") << 0.0f << QVector2D(30, 45) << "" << QVector3D() << QVector3D(0, 1, 0);
    QTest::newRow("eye follows a pan") << 5.0f << QVector2D(30, 0) << "P 9 9; M 19 9; M 19 29"
                                       << QVector3D(-0.1f, 2.6732051f, 4.2301268f) << QVector3D(0, 0.8660254f, -0.5f);
    // clang-format on
}

void TestOrbitControls::viewMatrix()
{
    QFETCH(float, distance);
    QFETCH(QVector2D, angles);
    QFETCH(QString, script);
    QFETCH(QVector3D, eye);
    QFETCH(QVector3D, up);

    OrbitControls camera(distance, angles);
    runCameraScript(camera, script);
    const QMatrix4x4 view = camera.viewMatrix();
    QVERIFY2(near(view.inverted().map(QVector3D()), eye), qPrintable(QDebug::toString(view)));
    QVERIFY2(near(view.row(1).toVector3D(), up), qPrintable(QDebug::toString(view))); // row 1: camera up
    // The target lies straight ahead, as far away as the eye is from it.
    QVERIFY2(near(view.map(camera.targetPoint()), QVector3D(0, 0, -std::abs(distance))),
             qPrintable(QDebug::toString(view)));
}

void TestOrbitControls::operations_data()
{
    QTest::addColumn<QVector2D>("angles");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QVector2D>("pitchYaw");
    QTest::addColumn<float>("distance");
    QTest::addColumn<QVector3D>("target");
    QTest::addColumn<int>("updates");

    const QVector2D start(30, 0);
    // clang-format off
    QTest::newRow("down raises pitch, right yaw") << start << "R 100 100; M 110 120" << QVector2D(33.6f, 3.6f) << 5.f << QVector3D() << 1;
    QTest::newRow("pitch per width, yaw per height") << start << "S 1000 250; R 0 0; M 10 10" << QVector2D(30.9f, 7.2f) << 5.f << QVector3D() << 1;
    QTest::newRow("clamp 85, anchor follows") << QVector2D(80, 0) << "R 0 0; M 0 100; M 0 90" << QVector2D(83.2f, 0) << 5.f << QVector3D() << 2;
    QTest::newRow("clamp -85") << QVector2D(-80, 0) << "R 0 0; M 0 -100" << QVector2D(-85, 0) << 5.f << QVector3D() << 1;
    QTest::newRow("exactly -85 stays") << QVector2D(-85, 0) << "R 3 3; M 3 3" << QVector2D(-85, 0) << 5.f << QVector3D() << 1;
    QTest::newRow("yaw not wrapped") << QVector2D(0, -350) << "R 100 0; M 0 0" << QVector2D(0, -386) << 5.f << QVector3D() << 1;
    QTest::newRow("pan right: target to the left") << start << "P 9 9; M 19 9" << start << 5.f << QVector3D(-0.1f, 0, 0) << 1;
    QTest::newRow("pan down: along camera up") << start << "P 9 9; M 9 19" << start << 5.f << QVector3D(0, 0.0866025f, -0.05f) << 1;
    QTest::newRow("pan seen from -x") << QVector2D(0, 90) << "P 0 0; M -20 -30" << QVector2D(0, 90) << 5.f << QVector3D(0, -0.3f, 0.2f) << 1;
    QTest::newRow("rotate, then pan with new axes") << start << "R 0 0; P 0 0; M 0 50" << QVector2D(39, 0) << 5.f << QVector3D(0, 0.3885711f, -0.3146602f) << 1;
    QTest::newRow("zoom out") << start << "Z -120" << start << 5.24f << QVector3D() << 1;
    QTest::newRow("zoom 0 still emits") << start << "Z 0" << start << 5.f << QVector3D() << 1;
    QTest::newRow("zoom to 0.2") << start << QString("Z 120;").repeated(20) << start << 0.2000008f << QVector3D() << 20;
    QTest::newRow("zoom through target") << start << QString("Z 120;").repeated(21) << start << -0.0399992f << QVector3D() << 21;
    QTest::newRow("no drag, no change") << start << "M 4 4; S 90 70; R 0 0; P 0 0; r; p; M 8 8" << start << 5.f << QVector3D() << 0;
    QTest::newRow("second press re-anchors a rotation") << start << "R 0 0; M 0 10; R 100 100; M 100 110" << QVector2D(33.6f, 0) << 5.f << QVector3D() << 2;
    QTest::newRow("second press re-anchors a pan") << start << "P 0 0; M 10 0; P 100 100; M 110 100" << start << 5.f << QVector3D(-0.2f, 0, 0) << 2;
    QTest::newRow("NaN pitch lands on -85") << QVector2D(std::numeric_limits<float>::quiet_NaN(), 0) << "R 0 0; M 0 0" << QVector2D(-85, 0) << 5.f << QVector3D() << 1;
    QTest::newRow("drag outlives the other") << start << "R 0 0; P 0 0; r; M 0 10; p; M 5 5" << start << 5.f << QVector3D(0, 0.0866025f, -0.05f) << 1;
    // clang-format on
}

void TestOrbitControls::operations()
{
    QFETCH(QVector2D, angles);
    QFETCH(QString, script);
    QFETCH(QVector2D, pitchYaw);
    QFETCH(float, distance);
    QFETCH(QVector3D, target);
    QFETCH(int, updates);

    OrbitControls camera(5.0f, angles);
    QSignalSpy spy(&camera, &OrbitControls::update);
    runCameraScript(camera, script);

    const QVector2D actual(camera.pitchDegrees(), camera.yawDegrees());
    QVERIFY2((actual - pitchYaw).length() < 1e-4f, qPrintable(QDebug::toString(actual)));
    QVERIFY2(std::abs(camera.distanceToTarget() - distance) < 1e-6f,
             qPrintable(QString::number(camera.distanceToTarget(), 'g', 9)));
    QVERIFY2(near(camera.targetPoint(), target), qPrintable(QDebug::toString(camera.targetPoint())));
    QCOMPARE(spy.count(), updates);
}

QTEST_GUILESS_MAIN(TestOrbitControls)
#include "tst_orbitcontrols.moc"

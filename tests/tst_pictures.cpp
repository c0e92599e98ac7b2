#include "windowprobe.h"

#include <QFile>

// The README's pictures of the controls (docs/controls) must show what the
// viewer draws today after the same gestures: the same pixels off the
// square's outline, and the square where the camera puts it. A change to the
// camera or the drawing fails here until the pictures are made again
// (scripts/pictures.sh).
class TestPictures : public QObject
{
    Q_OBJECT

private slots:
    void picture_data();
    void picture();
};

void TestPictures::picture_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("steps");

    QFile list(QStringLiteral(ORBITVIEWER_PICTURES_DIR "/pictures.txt"));
    QVERIFY2(list.open(QIODevice::ReadOnly | QIODevice::Text), qPrintable(list.fileName()));
    while (!list.atEnd()) {
        const QString line = QString::fromUtf8(list.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList fields = line.split(QLatin1Char('|'));
        QVERIFY2(fields.size() == 3, qPrintable(line));
        const QString name = fields.at(0).trimmed();
        QTest::newRow(qPrintable(name)) << name << fields.at(2).trimmed();
    }
}

void TestPictures::picture()
{
    QFETCH(QString, name);
    QFETCH(QString, steps);
    if (qEnvironmentVariable("QT_SCALE_FACTOR") != QLatin1String("0.5"))
        QSKIP("the pictures are drawn at QT_SCALE_FACTOR=0.5");

    const QImage picture
        = QImage(QStringLiteral(ORBITVIEWER_PICTURES_DIR "/%1.png").arg(name)).convertToFormat(QImage::Format_RGB32);
    QVERIFY2(!picture.isNull(), qPrintable(QStringLiteral("docs/controls/%1.png cannot be read").arg(name)));

    ProbeWindow window;
    showAndWaitForFrame(window);
    if (!qFuzzyCompare(window.devicePixelRatio(), 0.5))
        QSKIP(qPrintable(QStringLiteral("the pictures are drawn at half scale on a desktop that does not scale "
                                        "itself; this one scales by %1")
                             .arg(window.devicePixelRatio() / 0.5)));
    sendInput(window, steps);
    const int painted = window.paints;
    window.update();
    QTRY_VERIFY_WITH_TIMEOUT(window.paints > painted, defaultWait());
    const QImage frame = window.frame.convertToFormat(QImage::Format_RGB32);
    QCOMPARE(picture.size(), frame.size());

    // The picture shows the square where the camera is now...
    const double aspect = double(window.width()) / window.height();
    const QString problem = frameProblem(picture, *window.controls(), aspect);
    QVERIFY2(problem.isEmpty(), qPrintable(QStringLiteral("docs/controls/%1.png: %2").arg(name, problem)));
    // ...in the colours drawn now.
    const SquareOutline square(*window.controls(), aspect, frame.size());
    for (int y = 0; y < frame.height(); ++y) {
        for (int x = 0; x < frame.width(); ++x) {
            if (square.distanceToOutline(QPointF(x + 0.5, y + 0.5)) >= OutlineBand
                && picture.pixel(x, y) != frame.pixel(x, y))
                QFAIL(qPrintable(QStringLiteral("docs/controls/%1.png: pixel (%2, %3) is %4, drawn now as %5")
                                     .arg(name)
                                     .arg(x)
                                     .arg(y)
                                     .arg(QColor(picture.pixel(x, y)).name(), QColor(frame.pixel(x, y)).name())));
        }
    }
}

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"

// Judges a frame read from a web page against where the camera model puts
// the square: the picture's image file, the window's logical size, the
// inputs that reached the camera since the page opened, as a camera script,
// and the window's place in the picture ("x,y,width,height" in its pixels).
// Prints what is wrong, or how many pixels it judged; exits 1 on a wrong
// frame, 2 on a wrong call.
#include "camerascript.h"
#include "orbitcontrols.h"
#include "squareoutline.h"

#include <QCoreApplication>
#include <QImage>
#include <QRect>
#include <QTextStream>
#include <QVector2D>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const QStringList args = QCoreApplication::arguments();
    const QStringList place = args.value(5).split(',');
    const int width = args.value(2).toInt(), height = args.value(3).toInt();
    const QRect where(place.value(0).toInt(), place.value(1).toInt(), place.value(2).toInt(), place.value(3).toInt());
    const QImage frame = QImage(args.value(1)).copy(where);
    if (args.size() != 6 || place.size() != 4 || frame.isNull() || width <= 0 || height <= 0) {
        QTextStream(stderr) << "usage: webframecheck <picture.png> <width> <height> <camera script> "
                               "<x,y,width,height>, with a picture that holds that place\n";
        return 2;
    }

    // The window's camera as it starts, then every input since.
    OrbitControls camera(5.0f, QVector2D(30.0f, 0.0f));
    camera.resize(width, height);
    runCameraScript(camera, args.at(4));

    int inside = 0, outside = 0;
    const QString problem = frameProblem(frame, camera, double(width) / height, &inside, &outside);
    if (!problem.isEmpty()) {
        out << problem << "\n";
        return 1;
    }
    // A camera that saw the square not at all, or filling the frame, would
    // judge nothing on one side.
    if (inside == 0 || outside == 0) {
        out << "the model puts " << inside << " pixels on the square and " << outside
            << " off it; a frame must show both\n";
        return 1;
    }
    out << "matches the model: " << inside << " pixels on the square, " << outside << " off it\n";
    return 0;
}

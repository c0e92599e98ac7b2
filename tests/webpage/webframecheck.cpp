// Judges a frame read from a web page against where the camera model puts
// the square: the frame's image file, the window's logical size and the
// inputs that reached the camera since the page opened, as a camera script.
// Prints what is wrong, or how many pixels it judged; exits 1 on a wrong
// frame, 2 on a wrong call.
#include "camerascript.h"
#include "orbitcontrols.h"
#include "squareoutline.h"

#include <QCoreApplication>
#include <QImage>
#include <QTextStream>
#include <QVector2D>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 5) {
        QTextStream(stderr) << "usage: webframecheck <frame.png> <width> <height> <camera script>\n";
        return 2;
    }
    const QImage frame(args.at(1));
    const int width = args.at(2).toInt(), height = args.at(3).toInt();
    if (frame.isNull() || width <= 0 || height <= 0) {
        QTextStream(stderr) << "webframecheck: cannot read " << args.at(1) << " or the size " << width << " x "
                            << height << "\n";
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

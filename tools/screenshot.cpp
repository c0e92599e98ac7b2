// Saves a frame of the viewer as an image, read back from its own
// framebuffer: the first frame, or the one after some pointer input sent to
// the window's own handlers.
//
//   screenshot [--input "<steps>"] <file.png>
//
// The steps are those of pointerscript.h, e.g. "pL 250 250; m 350 300;
// rL 350 300" for a left drag 100 px right and 50 px down.
#include "openglwindow.h"
#include "pointerscript.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QImage>

#include <utility>

namespace {

class ScreenshotWindow : public OpenGLWindow
{
public:
    ScreenshotWindow(QString path, QString input)
        : path(std::move(path))
        , input(std::move(input))
    {
    }

protected:
    void paintGL() override
    {
        OpenGLWindow::paintGL();
        if (!input.isEmpty() && !inputQueued) {
            // After the first frame: the input, then one more frame, which
            // shows where the input took the camera even when it did not
            // ask for a frame itself.
            inputQueued = true;
            QMetaObject::invokeMethod(
                this,
                [this] {
                    sendInput(*this, input);
                    inputSent = true;
                    update();
                },
                Qt::QueuedConnection);
        }
        // The desktop may ask for frames of its own before the input is in.
        if (inputQueued && !inputSent)
            return;
        // Read before the swap: afterwards the back buffer is undefined.
        const bool saved = grabFramebuffer().save(path);
        if (!saved)
            qCritical().noquote() << "screenshot: could not write" << path;
        QCoreApplication::exit(saved ? 0 : 1);
    }

private:
    QString path;
    QString input;
    bool inputQueued = false;
    bool inputSent = false;
};

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Saves a frame of the viewer as an image."));
    parser.addHelpOption();
    const QCommandLineOption input(QStringLiteral("input"), QStringLiteral("Pointer steps to send first."),
                                   QStringLiteral("steps"));
    parser.addOption(input);
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("The image to write, e.g. frame.png."));
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);

    ScreenshotWindow window(parser.positionalArguments().constFirst(), parser.value(input));
    window.show();
    return QGuiApplication::exec();
}

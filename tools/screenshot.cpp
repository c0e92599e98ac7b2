// Saves the viewer's first frame as an image, read back from its own
// framebuffer: screenshot <file.png>
#include "openglwindow.h"

#include <QGuiApplication>
#include <QImage>

#include <utility>

namespace {

class FirstFrameWindow : public OpenGLWindow
{
public:
    explicit FirstFrameWindow(QString path)
        : path(std::move(path))
    {
    }

protected:
    void paintGL() override
    {
        OpenGLWindow::paintGL();
        // Read before the swap: afterwards the back buffer is undefined.
        const bool saved = grabFramebuffer().save(path);
        if (!saved)
            qCritical().noquote() << "screenshot: could not write" << path;
        QCoreApplication::exit(saved ? 0 : 1);
    }

private:
    QString path;
};

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2) {
        qCritical("usage: screenshot <file.png>");
        return 2;
    }
    FirstFrameWindow window(arguments.at(1));
    window.show();
    return QGuiApplication::exec();
}

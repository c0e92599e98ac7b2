// The yardstick for the viewer: the least a Qt OpenGL window costs. Same
// title, size and surface format as the viewer, clears to the same colour,
// draws nothing and repaints only when Qt asks it to.
//
// Built three times: on a plain QGuiApplication; with BAREWINDOW_WIDGETS on
// the widgets application object the viewer has to use, to tell that
// object's share of the viewer's costs from the rest; and with
// BAREWINDOW_REPAINT as well, asking for a frame on every pointer move
// through the same update() path as the viewer, to tell the cost of a frame
// and the delay before it from the viewer's own drawing.
#ifdef BAREWINDOW_WIDGETS
#include <QApplication>
using Application = QApplication;
#else
#include <QGuiApplication>
using Application = QGuiApplication;
#endif
#include <QMouseEvent>
#include <QOpenGLFunctions>
#include <QOpenGLWindow>
#include <QSurfaceFormat>

namespace {

class BareWindow : public QOpenGLWindow, private QOpenGLFunctions
{
public:
    BareWindow()
        : QOpenGLWindow(QOpenGLWindow::NoPartialUpdate)
    {
        setTitle(QString::fromUtf8("OpenGL ES 2.0, Qt6, C++"));
        resize(500, 500);
        QSurfaceFormat surfaceFormat;
        surfaceFormat.setDepthBufferSize(24);
        surfaceFormat.setSamples(4);
        setFormat(surfaceFormat);
    }

protected:
    void initializeGL() override
    {
        initializeOpenGLFunctions();
        glClearColor(0.6f, 0.862f, 0.925f, 1.0f);
    }

    void paintGL() override { glClear(GL_COLOR_BUFFER_BIT); }

#ifdef BAREWINDOW_REPAINT
    void mouseMoveEvent(QMouseEvent *event) override;
#endif
};

#ifdef BAREWINDOW_REPAINT
void BareWindow::mouseMoveEvent(QMouseEvent * /*event*/)
{
    update();
}
#endif

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_UseDesktopOpenGL);
    Application app(argc, argv);
    BareWindow window;
    window.show();
    return Application::exec();
}

#include "openglwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // Must be set before the application object exists.
    QCoreApplication::setAttribute(Qt::AA_UseDesktopOpenGL);
    QApplication app(argc, argv);

    OpenGLWindow window;
    window.show();

    return QApplication::exec();
}

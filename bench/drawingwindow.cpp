// The yardstick that draws: the viewer's picture made the plainest way Qt
// allows. The bare window that repaints on every pointer move, plus one
// shader program compiled from the viewer's two shader texts given as
// char arrays (made from assets/shaders/ when the build is configured),
// one vertex buffer with the square, and the matrix of the camera's first
// pose uploaded on every frame. Nothing of the viewer's own:
// no camera, no resources, no releasing of the compiler, no heap trimming.
#include <QApplication>
#include <QMatrix4x4>
#include <QMouseEvent>
#include <QOpenGLBuffer>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QOpenGLWindow>
#include <QSurfaceFormat>
#include <QVector3D>

#include "shadertexts.h"

namespace {

// clang-format off
constexpr GLfloat SquareVertices[] = {
    -0.5f, -0.5f,
     0.5f, -0.5f,
    -0.5f,  0.5f,
     0.5f,  0.5f,
};
// clang-format on

class DrawingWindow : public QOpenGLWindow, private QOpenGLFunctions
{
public:
    DrawingWindow()
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
        program.addShaderFromSourceCode(QOpenGLShader::Vertex, VertexShader);
        program.addShaderFromSourceCode(QOpenGLShader::Fragment, FragmentShader);
        program.link();
        program.bind();
        square.create();
        square.bind();
        square.allocate(SquareVertices, sizeof(SquareVertices));
        program.setAttributeBuffer("aPosition", GL_FLOAT, 0, 2, 0);
        program.enableAttributeArray("aPosition");
        mvpLocation = program.uniformLocation("uMvpMatrix");
    }

    // The camera's first pose: 5 units away, 30 degrees up, looking at the
    // origin; the square turned into the ground plane and scaled to 3 x 3.
    void resizeGL(int w, int h) override
    {
        if (w <= 0 || h <= 0)
            return;
        mvp.setToIdentity();
        mvp.perspective(50.0f, float(w) / float(h), 0.01f, 100.0f);
        mvp.lookAt(QVector3D(0.0f, 2.5f, 4.3301270f), QVector3D(), QVector3D(0.0f, 0.8660254f, -0.5f));
        mvp.rotate(90.0f, 1.0f, 0.0f, 0.0f);
        mvp.scale(3.0f, 3.0f, 1.0f);
    }

    void paintGL() override
    {
        glClear(GL_COLOR_BUFFER_BIT);
        program.setUniformValue(mvpLocation, mvp);
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    }

    void mouseMoveEvent(QMouseEvent *event) override;

private:
    QOpenGLShaderProgram program;
    QOpenGLBuffer square;
    int mvpLocation = -1;
    QMatrix4x4 mvp;
};

void DrawingWindow::mouseMoveEvent(QMouseEvent * /*event*/)
{
    update();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_UseDesktopOpenGL);
    QApplication app(argc, argv);
    DrawingWindow window;
    window.show();
    return QApplication::exec();
}

#ifndef OPENGLWINDOW_H
#define OPENGLWINDOW_H

#include <QMatrix4x4>
#include <QOpenGLBuffer>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QOpenGLWindow>

#include <memory>

class OrbitControls;

// The viewer's window: a flat green 3 x 3 square lying in the ground plane,
// drawn in perspective over a light-blue background and seen through an
// orbit camera driven by the mouse.
class OpenGLWindow : public QOpenGLWindow, private QOpenGLFunctions
{
    Q_OBJECT

public:
    OpenGLWindow();
    ~OpenGLWindow() override;

    const OrbitControls *controls() const { return orbitControls.get(); }

protected:
    bool event(QEvent *event) override;
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;

    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private slots:
    void onCameraUpdate();

private:
    // Empty when the context is usable, otherwise why it is not.
    QString contextProblem() const;
    // Tells the user why nothing can be drawn and ends the process with
    // status 1.
    void fail(const QString &problem);

    QOpenGLBuffer vertPosBuffer;
    QOpenGLShaderProgram program;
    int uMvpMatrixLocation = -1;
    QMatrix4x4 mvpMatrix;
    QMatrix4x4 projMatrix;
    QMatrix4x4 viewMatrix;
    QMatrix4x4 projViewMatrix;
    QMatrix4x4 modelMatrix;
    // Set when initializeGL found no usable context or shaders; the process
    // is ending.
    bool glFailed = false;
    std::unique_ptr<OrbitControls> orbitControls;
};

#endif // OPENGLWINDOW_H

// Qt for the web is linked statically. QtGui teaches QVariant its value
// types (QVector2D, QVector3D, ...) from a static constructor in an object
// file that only QGuiApplication's code pulls in, so a test that runs on a
// QCoreApplication, as the camera's does, would see every such data row as
// an invalid variant, read as zero. Calling the registration at start-up
// links that file in and does what its constructor would have done.
#include <QtGlobal>

void qRegisterGuiVariant(); // QtGui's; no public header declares it

Q_CONSTRUCTOR_FUNCTION(qRegisterGuiVariant)

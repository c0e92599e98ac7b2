#ifndef SLOWMACHINE_H
#define SLOWMACHINE_H

#include <QtGlobal>

#include <algorithm>

// A time limit for waiting on something the tests expect to happen (a
// window to appear, a frame to come, the window to fall quiet), lengthened
// on a machine where everything takes longer: under an emulator, a build for
// another architecture runs several times slower. The build sets the factor
// (ORBITVIEWER_TEST_TIME_FACTOR); what is waited for stays the same.
inline int scaledWait(int milliseconds)
{
    static const int factor = std::max(1, qEnvironmentVariableIntValue("ORBITVIEWER_TEST_TIME_FACTOR"));
    return milliseconds * factor;
}

// QTest's own limit for QTRY_VERIFY and qWaitForWindowExposed, scaled.
inline int defaultWait()
{
    return scaledWait(5000);
}

#endif // SLOWMACHINE_H

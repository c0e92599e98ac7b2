#ifndef STACKEDSCALE_H
#define STACKEDSCALE_H

#include <QString>

// The factor the suite's scaled runs set (QT_SCALE_FACTOR); 1 in the others.
inline double requestedScale()
{
    return qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1")).toDouble();
}

// Why frames at device pixel ratio `ratio` cannot be judged here, or
// nothing. Stacked on a desktop's own scale, QT_SCALE_FACTOR tests Qt's way
// of combining the two rather than the viewer: on Weston at scale 2, Qt 6.4
// leaves the last device pixels of a 2.5 frame undrawn. Its runs are for
// desktops that do not scale themselves, as the test command's displays do
// not.
inline QString stackedScale(double ratio)
{
    const double factor = requestedScale();
    if (factor == 1 || qFuzzyCompare(ratio, factor))
        return {};
    return QStringLiteral("QT_SCALE_FACTOR %1 runs on desktops that do not scale themselves; this one scales by %2")
        .arg(factor)
        .arg(ratio / factor);
}

#endif // STACKEDSCALE_H

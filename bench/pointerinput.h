#ifndef POINTERINPUT_H
#define POINTERINPUT_H

#include "subject.h"

#include <vector>

// Real pointer input for a subject's window, sent through the X server with
// XTest, and what the subject did in response. (x, y) are root coordinates
// inside the window, with some room around them for the moves.

struct DragCost
{
    double frames = 0; // frames swapped from the first move until idle again
    double cpuMs = 0;  // the subject's CPU time over the same span

    // Negative (not measured) when the drag drew nothing.
    double cpuPerFrameMs() const { return frames > 0 ? cpuMs / frames : -1; }
};

// Presses the left button at (x, y), sends `moves` moves (intervalUs apart,
// or all at once when 0), waits until the frames they caused are drawn and
// releases.
DragCost drag(Display *display, Subject &subject, int x, int y, int moves, int intervalUs);

// With the left button held, sends `moves` single moves, each once the
// subject has been idle for a while; for each, the time from sending it to
// the return of the next buffer swap, in milliseconds. Empty when a move
// drew no frame.
std::vector<double> inputLatenciesMs(Display *display, Subject &subject, int x, int y, int moves);

#endif // POINTERINPUT_H

#ifndef FIGURES_H
#define FIGURES_H

#include <array>
#include <vector>

// What windowbench measures, and of which programs: each figure's
// definition is here, in one place.

// The programs, started in turn A B C D E A B C D E ...
enum SubjectId {
    Viewer,          // A: the viewer as shipped
    Bare,            // B: a bare QOpenGLWindow that only clears, on a QGuiApplication
    BareApplication, // C: B on a QApplication, the application object the viewer is built on
    BareRepainting,  // D: C that also repaints (clears) on every pointer move, as the viewer does on a drag
    Drawing,         // E: D that also draws the viewer's picture the plainest way: the yardstick
    SubjectCount
};

constexpr bool repaintsOnInput(SubjectId subject)
{
    return subject == Viewer || subject == BareRepainting || subject == Drawing;
}

// Starts of each program, in turn, that end after the first frame. Single
// starts spread by an interquartile range of 5 to 35 ms here, depending on
// how busy the machine is; 50 resolve a few per cent where 25 often did not.
constexpr int StartRuns = 50;

constexpr int BurstMoves = 100;
constexpr int PacedMoves = 300;
constexpr int PacedMoveIntervalUs = 5000;
constexpr int LatencyMoves = 60;
constexpr int SmallSide = 500; // the window's own size
constexpr int LargeSide = 1000;

// A negative figure was not measured (the program does not repaint on
// input) and is reported as "n/a".
enum Figure {
    ResidentMiB,        // resident set size, once idle after start
    ProportionalMiB,    // proportional set size, at the same moment
    IdleFrames,         // frames swapped in the next 2 s, without input
    BurstFrames,        // frames for BurstMoves moves sent at once during one drag
    DragFrames,         // frames for PacedMoves moves PacedMoveIntervalUs apart during one drag, at SmallSide
    DragCpuMs,          // the program's CPU time, all threads, from the first of those moves until idle again
    CpuPerFrameMs,      // DragCpuMs / DragFrames
    LargeCpuPerFrameMs, // the same drag and quotient with the window resized to LargeSide
    LatencyMedianMs,    // LatencyMoves single moves during a held drag, each sent when the program has been
                        // idle: the median time from sending a move to the return of the next buffer swap
    LatencyP90Ms,       // the 90th percentile of the same
    FigureCount
};

using Figures = std::array<double, FigureCount>;

struct Results
{
    // From starting the process to the return of its first buffer swap, in
    // milliseconds: each subject's StartRuns starts.
    std::array<std::vector<double>, SubjectCount> startMs;
    // Each subject's full runs.
    std::array<std::vector<Figures>, SubjectCount> runs;
};

#endif // FIGURES_H

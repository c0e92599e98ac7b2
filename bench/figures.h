#ifndef FIGURES_H
#define FIGURES_H

#include <array>
#include <vector>

// What windowbench measures, and of which programs: each figure's
// definition is here, in one place.

// The programs, started in turn A B C D A B C D ...
enum SubjectId {
    Viewer,          // A: the viewer as shipped
    Bare,            // B: a bare QOpenGLWindow that only clears, on a QGuiApplication
    BareApplication, // C: B on a QApplication, the application object the viewer is built on
    BareRepainting,  // D: C that also repaints (clears) on every pointer move, as the viewer does on a drag
    SubjectCount
};

constexpr bool repaintsOnInput(SubjectId subject)
{
    return subject == Viewer || subject == BareRepainting;
}

constexpr int BurstMoves = 100;
constexpr int PacedMoves = 300;
constexpr int PacedMoveIntervalUs = 5000;
constexpr int LatencyMoves = 60;
constexpr int SmallSide = 500; // the window's own size
constexpr int LargeSide = 1000;

// A negative figure was not measured (the program does not repaint on
// input) and is reported as "n/a".
enum Figure {
    FirstFrameMs,       // from starting the process to the return of its first buffer swap
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
using Results = std::array<std::vector<Figures>, SubjectCount>; // each subject's runs

#endif // FIGURES_H

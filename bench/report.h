#ifndef REPORT_H
#define REPORT_H

#include "figures.h"

// The benchmark's output: the start times, a line for each run of a
// program, then a table of the medians with the ratio of the viewer to the
// drawing yardstick and the viewer's targets.

// Each subject's start times: median and quartiles.
void printStarts(const Results &results);

void printRun(int run, SubjectId subject, const Figures &figures);

// Prints the table; returns whether the viewer met every target.
bool printSummary(const Results &results);

#endif // REPORT_H

#ifndef REPORT_H
#define REPORT_H

#include "figures.h"

// The benchmark's output: a line for each run of a program, then a table of
// the medians with the ratios of the viewer to each yardstick and the
// viewer's targets.

void printRun(int run, SubjectId subject, const Figures &figures);

// Prints the table; returns whether the viewer met every target.
bool printSummary(const Results &results);

#endif // REPORT_H

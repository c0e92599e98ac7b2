#ifndef PROCSTATS_H
#define PROCSTATS_H

#include <QtGlobal>

// What Linux reports of a running process, read from /proc/<pid>.

// Resident set size (VmRSS): every page the process has in memory, shared
// libraries counted whole.
double residentMiB(qint64 pid);

// Proportional set size (Pss of smaps_rollup): each page divided by the
// number of processes that map it, so libraries shared with other programs
// count only in part.
double proportionalMiB(qint64 pid);

// User and system time of all the process's threads (Mesa's rasteriser
// threads included), in milliseconds.
double cpuMs(qint64 pid);

#endif // PROCSTATS_H

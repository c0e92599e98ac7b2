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

// Time on a CPU of all the process's threads (Mesa's rasteriser threads
// included), in milliseconds, to the nanosecond where the kernel keeps
// scheduler statistics (/proc/<pid>/task/*/schedstat), otherwise in clock
// ticks (utime and stime, 10 ms each). Ticks are too coarse for the short
// drags measured here: 200 frames of under a millisecond each come to a
// dozen ticks. The time of threads that ended is lost from the sum, but the
// threads of a Qt OpenGL window live as long as the program.
double cpuMs(qint64 pid);

#endif // PROCSTATS_H

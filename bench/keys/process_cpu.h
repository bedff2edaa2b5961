// CPU time a running process has used so far, as precisely as the system
// tells it: the scheduler's nanosecond count where there is one, else the
// clock ticks of /proc/PID/stat.
#pragma once

#include <sys/types.h>

namespace vistamere::bench {

// Seconds of CPU (user and system) used by `pid`; negative when unknown.
double ProcessCpuSeconds(pid_t pid);
// Whether ProcessCpuSeconds counts nanoseconds (false: 10 ms ticks).
bool ProcessCpuIsPrecise(pid_t pid);
// How often `pid` has given up the CPU of its own accord (every sleep and
// every blocking wait counts one); negative when unknown.
long VoluntarySwitches(pid_t pid);
// The CPU one 1 ms sleep costs on this machine (the system call, the timer
// and the two context switches), measured on the calling thread.
double SleepCpuSeconds(int samples);

}  // namespace vistamere::bench

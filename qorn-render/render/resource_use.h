// What a run costs, for the summary line: wall-clock time of each phase and the peak
// memory of the process.
#ifndef QORN_RENDER_RESOURCE_USE_H
#define QORN_RENDER_RESOURCE_USE_H

#include <chrono>

namespace qorn::render {

/// Wall-clock seconds since `start`.
double seconds_since(std::chrono::steady_clock::time_point start);

/// The most resident memory the process has had so far, in MiB (getrusage's ru_maxrss).
double peak_memory_mib();

}  // namespace qorn::render

#endif

#include "render/resource_use.h"

#include <sys/resource.h>

namespace qorn::render {

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double peak_memory_mib() {
    struct rusage usage;
    if (getrusage(RUSAGE_SELF, &usage) != 0) return 0;
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // Linux gives KiB
}

}  // namespace qorn::render

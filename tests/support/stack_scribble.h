// Fills the stack the next call will use with a byte pattern. A callee that reads a
// local it never set then sees the pattern instead of whatever was left there (often
// zeros, which can pass for a cleared value), so two calls after two different
// patterns return different results.
#ifndef QORN_TESTS_STACK_SCRIBBLE_H
#define QORN_TESTS_STACK_SCRIBBLE_H

#include <string.h>

namespace qorn::test {

__attribute__((noinline)) inline void scribble_stack(unsigned char pattern) {
    unsigned char area[8192];
    memset(area, pattern, sizeof area);
    __asm__ __volatile__("" : : "r"(area) : "memory");  // keeps the stores
}

}  // namespace qorn::test

#endif

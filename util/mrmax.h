// Single-precision maxima for shader libraries. Pure functions, safe on any thread.
#ifndef QORN_MRMAX_H
#define QORN_MRMAX_H

#if defined(QORN_BUILDING_LIBRARY)
#define QORN_MAX_API __attribute__((visibility("default")))
#else
#define QORN_MAX_API
#endif

/// `a` if a > b, otherwise `b`: ties and unordered operands (NaN) return `b`. The
/// result is always one of the arguments, bit for bit (+0/-0 and NaN payloads kept;
/// on 32-bit x86 the calling convention returns floats through the x87 unit, which
/// turns a signalling NaN into a quiet one).
QORN_MAX_API float mrmax2(float a, float b);

/// mrmax2(a, mrmax2(b, c)): a NaN in `c` always reaches the result.
QORN_MAX_API float mrmax3(float a, float b, float c);

/// mrmax2(a, mrmax2(b, mrmax2(c, d))): a NaN in `d` always reaches the result.
QORN_MAX_API float mrmaxmax4(float a, float b, float c, float d);

#endif

#include "mrmax.h"

float mrmax2(float a, float b) { return a > b ? a : b; }

float mrmax3(float a, float b, float c) { return mrmax2(a, mrmax2(b, c)); }

float mrmaxmax4(float a, float b, float c, float d) {
    return mrmax2(a, mrmax2(b, mrmax2(c, d)));
}

#pragma once

// What the wire and MIDI benchmarks' tools share: the clock they stamp with
// and the figures their reports print.

#include "clock.h"

#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <vector>

namespace BenchFigures
{
using KernelClock::nowNs;

// The nearest-rank percentile, p in 0..1; NaN for no values.
inline double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return NAN;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(std::ceil(p * double(v.size())) - 1))];
}

// NaN for no values.
inline double mean(const std::vector<double> &v)
{
    double sum = 0;
    for (double x : v)
        sum += x;
    return v.empty() ? NAN : sum / double(v.size());
}

// NaN for no values.
inline double maximum(const std::vector<double> &v)
{
    return v.empty() ? NAN : *std::max_element(v.begin(), v.end());
}

inline const char *formatName(int format)
{
    static const char *const names[] = {"24fps", "25fps", "30drop", "30fps"};
    return format >= 0 && format <= 3 ? names[format] : "?";
}
} // namespace BenchFigures

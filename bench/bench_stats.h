// What every benchmark of the native build reports: 15 repetitions, their median, min and
// max, in microseconds.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

inline double Min(const std::vector<double>& v)
{
    return *std::min_element(v.begin(), v.end());
}

inline double Max(const std::vector<double>& v)
{
    return *std::max_element(v.begin(), v.end());
}

#define KESTAL_BENCH(name)                                                                     \
    BENCHMARK(name)->Repetitions(15)->ReportAggregatesOnly(true)->ComputeStatistics("min", Min) \
        ->ComputeStatistics("max", Max)->Unit(benchmark::kMicrosecond)

// What a step's frame times add up to, drawn after the test from the recording that the
// frames made (bench/frametimes.h).
#pragma once

#include <stddef.h>
#include <stdint.h>

struct StepFrameTimes {
    int frames;      // frames the measured window counted: the log's FPS figure
    int timed;       // of those, frames whose duration was kept; 0: no figures below
    double p10Ms;    // 10th percentile of the frame times, milliseconds
    double medianMs; // the median
    double p90Ms;    // the 90th percentile
};

// The p-quantile (0 to 1) of n values sorted ascending, interpolated linearly between the
// two nearest ranks: the median of an even count is the mean of the middle two. 0 when
// n is 0.
double SortedQuantile(const double *sorted, size_t n, double p);

// The figures of n durations in microseconds, in any order.
StepFrameTimes FrameTimeFigures(const uint32_t *us, size_t n);

// The figures of the step-th logged step (0 first) of the test recorded last. 0 when the
// test has no such timed step (out is then all zero).
int FrameTimesOfStep(int step, StepFrameTimes *out);

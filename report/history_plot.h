// The history over time (kelvane --history --plot FILE): each run's score and steady figure
// by when it ran, one series per renderer, size and GL environment, in the style of the
// result's plot.
#pragma once

#include "record/model.h"

#include <stdio.h>
#include <string>
#include <time.h>
#include <vector>

struct HistoryPoint {
    time_t when;
    std::string series; // the renderer, the size and the GL variables: runs that compare
    bool scored;
    int score;
    bool steadyKnown;
    double steady, uncertainty;
    bool disturbed; // disturbed or drifted: drawn hollow
};

// The point of a history's run: the first run of its result, as the reader read it.
HistoryPoint HistoryPointOf(const ResultFile &run);

// Where the plot puts a time and a figure, in the picture's pixels; t0 and t1 are the
// seconds at its left and right edge.
struct HistoryFrame {
    double left, top, right, bottom;
    double t0, t1;
    double yMax; // thousands of triangles a frame at the top edge; 0 at the bottom
};
HistoryFrame HistoryAxes(const std::vector<HistoryPoint> &points);

// The same picture as SVG and PNG, to either path that is not null, each whole or not at
// all; each not written is named on err, with why. Non-zero on success.
int WriteHistoryPlot(const std::vector<HistoryPoint> &points, const char *svgPath,
                     const char *pngPath, FILE *err = nullptr);

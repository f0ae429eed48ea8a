// The history over time (kelvane --history --plot FILE): each run's score and steady figure
// by when it ran, one series per renderer and size, in the style of the result's plot.
#pragma once

#include <string>
#include <time.h>
#include <vector>

struct HistoryPoint {
    time_t when;
    std::string series; // the renderer and the size: runs that can be compared
    bool scored;
    int score;
    bool steadyKnown;
    double steady, uncertainty;
    bool disturbed; // drawn hollow
};

// The same picture as SVG and PNG, to either path that is not null, each whole or not at
// all. Non-zero on success.
int WriteHistoryPlot(const std::vector<HistoryPoint> &points, const char *svgPath,
                     const char *pngPath);

// The plot of one or more results: frames per second against the grid's triangles, one
// line per run, the 10 fps stop line, each run's score, and the triangle rate on a second
// axis. Drawn once with cairo and written as SVG and PNG.
#pragma once

#include "record/model.h"

#include <stdio.h>
#include <string>
#include <vector>

enum { kPlotWidth = 960, kPlotHeight = 600 };

// Where the axes put a value, in pixels of the picture (a pixel's top left corner is its
// position, as in cairo). x is linear in the grid size, that
// is in the square root of the triangles, since the grid grows by one row and column a step;
// frames per second are on a log scale, from a power of ten below to one above; the
// triangle rate is linear from 0.
struct PlotFrame {
    double left, top, right, bottom; // the plotting area
    double gridMin, gridMax;         // the grid sizes at the left and the right edge
    double fpsMin, fpsMax;           // at the bottom and the top edge
    double rateMax;                  // million triangles a second at the top edge
    // The GPU's clock, in a panel under the frame rate: its top and bottom edge, and the
    // MHz at its top; clockMax 0: no run has a clock, and no panel.
    double clockTop, clockBottom, clockMax;
};

PlotFrame PlotAxes(const std::vector<ResultFile> &results);
double PlotX(const PlotFrame &f, double triangles);
double PlotY(const PlotFrame &f, double fps);
double PlotRateY(const PlotFrame &f, double rate);
double PlotClockY(const PlotFrame &f, double mhz);

// The colour of run i of result r among the results: each run its own for one result of up
// to ten runs, otherwise each result its own. Red, green, blue from 0 to 1.
struct PlotColour {
    double r, g, b;
};
PlotColour RunColour(const std::vector<ResultFile> &results, size_t r, size_t i);

// The legend's lines: one per run for one result of up to ten runs, with a last line for
// their summary; otherwise one per result, with its name. Each in its run's or result's colour.
struct PlotLegendEntry {
    PlotColour colour;
    std::string text;
};
std::vector<PlotLegendEntry> PlotLegend(const std::vector<ResultFile> &results);

// Draws the results and writes the picture to either path that is not null: SVG and PNG.
// Each file is written whole or not at all, and each not written is named on err, with why.
// Non-zero on success.
int WritePlot(const std::vector<ResultFile> &results, const char *svgPath, const char *pngPath,
              FILE *err = nullptr);

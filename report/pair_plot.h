// The plot of a paired comparison (--pair): above, each turn's mean frame time by the order
// the turns ran, A and B in colours of their own, so that the machine's drift shows and the
// two lines are seen to move together; below, each block's ratio of B's throughput to A's,
// with the verdict's interval as a band: what the pairing leaves once the drift cancels.
#pragma once

#include "record/pair.h"

#include <stdio.h>
#include <vector>

// Where the two panels put a turn, a frame time and a ratio, in the picture's pixels.
struct PairPlotFrame {
    double left, right;           // both panels'
    double msTop, msBottom;       // the frame times' panel
    double ratioTop, ratioBottom; // the ratios' panel
    double turns;                 // the turn index at the right edge; -0.5 at the left
    double msMin, msMax;          // at the bottom and the top of the frame times' panel
    double ratioMin, ratioMax;    // and of the ratios'
};
PairPlotFrame PairPlotAxes(const PairResult &p);
double PairPlotX(const PairPlotFrame &f, double turn);
double PairPlotMsY(const PairPlotFrame &f, double ms);
double PairPlotRatioY(const PairPlotFrame &f, double ratio);

// A block of two kept pairs in a row (AB BA): where its four turns lie (their mean index)
// and its ratio of B's throughput to A's, the geometric mean of its two pairs'. Pairs count
// in the order their kept turns ran, within a round; a round's odd last pair makes no block.
struct PairBlock {
    double turn;
    double ratio;
};
std::vector<PairBlock> PairBlocks(const PairResult &p);

// Draws p and writes it to either path that is not null, SVG and PNG, each whole or not at
// all; each not written is named on err, with why. Non-zero on success.
int WritePairPlot(const PairResult &p, const char *svgPath, const char *pngPath,
                  FILE *err = nullptr);

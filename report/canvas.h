// What the plots share: the palette, text and lines in one style, and the picture written as
// SVG and PNG from one drawing.
#pragma once

#include "report/plot.h"

#include <cairo.h>

enum { kPaletteSize = 10 };
extern const PlotColour kPalette[kPaletteSize]; // colours that stay apart from each other
extern const char kPlotFont[];

void PlotSetColour(cairo_t *cr, PlotColour c, double alpha);
// Every text goes through here: one string cairo cannot take would lose the whole plot.
// alignX: 0 starts the text at x, 0.5 centres it, 1 ends it there.
void PlotText(cairo_t *cr, double x, double y, double size, bool bold, const char *s,
              double alignX = 0);
void PlotLine(cairo_t *cr, double x0, double y0, double x1, double y1);
// A light grid line across from left to right at y, labelled on the left with v as format
// prints it.
void PlotValueLine(cairo_t *cr, double left, double right, double y, double v,
                   const char *format = "%g");
// 1, 2 or 5 times a power of ten, at least v.
double NiceCeiling(double v);

// Draws what with draw onto a kPlotWidth × kPlotHeight picture and writes it to either path
// that is not null: SVG and PNG, each whole or not at all, each not written named on err with
// why. Non-zero on success.
int WriteDrawing(void (*draw)(cairo_t *cr, const void *what), const void *what, const char *svgPath,
                 const char *pngPath, FILE *err = nullptr);

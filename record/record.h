// Recording a test's results as the result log is written, and writing them after the test.
#pragma once

#include "record/model.h"

#include <stdio.h>
#include <string>

// Starts listening to the result log (bench/log.h). From then on every test is recorded.
void ListenForResults(void);

// Tests add to the runs already recorded instead of starting a new result: a --repeat
// series, one file for all its runs.
extern bool resultSeries;

// A test has ended and its results are not written yet.
extern bool resultsPending;

// From a driver of the test, outside a frame: the run going on is quick; a grid it held
// was measured as a step (in the order of the frame-time recording's steps); it has
// measured every grid, so that its end is not an abort.
void MarkRunQuick(void);
void RecordHeldStep(int grid, float fps);
void QuickRunMeasured(void);

// Writes "Kelvane result.json" beside the log: the runs recorded so far with the setting,
// the renderer's validation as far as it was made (validation/validation.h) included. 1 when
// written, 0 when not (said on standard error).
int WriteResultJson(void);

// The document WriteResultJson made last, whether or not its file could be written.
extern std::string writtenDocument;

// The file's name in app_folder.
extern const char kResultJsonName[];
extern const char kResultSvgName[], kResultPngName[];

// This process's result, as the plot draws it.
ResultFile CurrentResult(void);

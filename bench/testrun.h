// Starting and ending a test.
#pragma once

// Resets the measurement, rebuilds the scene full screen and writes the log header.
// During a test it starts the test again.
void StartTest(void);
// Back to the window with "test stopped" in the log; nothing outside a test.
void EndTest(void);

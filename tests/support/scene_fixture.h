// A main window on SDL's offscreen driver, a resource folder of the test's own, the
// benchmark state at its start values and a recorder in place of alerts.
#pragma once

#include "app/folders.h"
#include "app/startup.h"
#include "bench/state.h"
#include "gfx/context.h"
#include "gfx/scene.h"
#include "platform/agl.h"
#include "platform/alert.h"
#include "tests/support/offscreen_gl.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

struct RecordedAlert {
    AlertType type;
    std::string title, text;
};
extern std::vector<RecordedAlert> recordedAlerts;

class SceneTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Puts the picture into the resource folder as default.tga.
    void InstallTexture(const std::vector<unsigned char> &tga);
    void InstallDefaultTexture();

    TempDir dir;
};

#include "tests/support/scene_fixture.h"

#include "tests/support/bench_state.h"
#include "tests/support/offscreen_gl.h"
#include "tests/support/tga_bytes.h"

#include <SDL.h>
#include <stdio.h>

std::vector<RecordedAlert> recordedAlerts;

static void Record(AlertType type, const char *title, const char *text) {
    recordedAlerts.push_back({type, title, text});
}

void SceneTest::SetUp() {
    UseOffscreenVideo();
    SetAlertRecorder(Record);
    recordedAlerts.clear();
    gAGLFaults = AGLFaults();
    ResetBenchState();
    snprintf(app_folder, sizeof app_folder, "%s", dir.prefix().c_str());
    snprintf(res_folder, sizeof res_folder, "%s", dir.prefix().c_str());
    Rect bounds = {0, 0, 480, 640};
    ASSERT_EQ(noErr,
              CreateNewWindow(kDocumentWindowClass, kWindowResizableAttribute, &bounds, &window));
}

void SceneTest::TearDown() {
    PinLoadedLibraries();
    FreeScene();
    fullscreen = false;
    DisposeWindow(window);
    window = nullptr;
    SetAlertRecorder(nullptr);
    gAGLFaults = AGLFaults();
    app_folder[0] = res_folder[0] = 0;
}

void SceneTest::InstallTexture(const std::vector<unsigned char> &tga) {
    WriteBytes(dir.path("default.tga"), tga);
}

void SceneTest::InstallDefaultTexture() {
    TgaHeader h;
    h.width = h.height = 4;
    std::vector<unsigned char> pixels(4 * 4 * 3);
    for (size_t i = 0; i < pixels.size(); i++)
        pixels[i] = (unsigned char)(40 + i * 3);
    InstallTexture(TgaFile(h, pixels));
}

#include "app/folders.h"
#include "app/startup.h"
#include "platform/bundle.h"
#include "tests/support/offscreen_gl.h"
#include "tests/support/scene_fixture.h"

#include <sys/stat.h>

namespace {

// A bundle of the test's own under the temporary folder, with the real resources.
class StartupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        UseOffscreenVideo();
        SetAlertRecorder([](AlertType, const char *, const char *) {});
        bundle = dir.path("Kelvane.app");
        resources = bundle + "/Contents/Resources/";
        for (std::string d : {bundle, bundle + "/Contents", resources, bundle + "/Contents/Linux"})
            ASSERT_EQ(0, mkdir(d.c_str(), 0700));
        for (const char *name : {"main.ui", "default.tga"})
            WriteBytes(resources + name,
                       ReadBytes(std::string(KELVANE_SOURCE_DIR "/resources/") + name));
        SetMainBundlePath(bundle.c_str());
        numCubes = 1;
        fullscreen = false;
        frames = 0;
        rotate = 0;
    }
    void TearDown() override {
        PinLoadedLibraries();
        DeleteScene();
        SetMainBundlePath(nullptr);
        SetAlertRecorder(nullptr);
        app_folder[0] = res_folder[0] = 0;
    }
    TempDir dir;
    std::string bundle, resources;
};

void Quit(EventLoopTimerRef, void *) {
    QuitApplicationEventLoop();
}

TEST_F(StartupTest, BuildsRunsFramesAndTearsDownCompletely) {
    ASSERT_EQ(1, NewScene());
    PinLoadedLibraries(); // before the teardown below can unload the driver
    EXPECT_NE(nullptr, nibRef);
    EXPECT_NE(nullptr, window);
    EXPECT_NE(nullptr, gWindowEventHandler);
    EXPECT_NE(nullptr, gAppEventHandler);
    EXPECT_NE(nullptr, gWindowEDMUPP);
    EXPECT_NE(nullptr, gConfigEDMUPP);
    EXPECT_NE(nullptr, theTimer);
    EXPECT_EQ(dir.prefix(), app_folder);
    EXPECT_EQ(resources, res_folder);
    EXPECT_EQ(1, running); // the texture was found on the first build

    EventLoopTimerRef stop = nullptr;
    InstallEventLoopTimer(GetCurrentEventLoop(), 0.5, 0, NewEventLoopTimerUPP(Quit), nullptr,
                          &stop);
    RunApplicationEventLoop();
    EXPECT_GT(rotate, 0.0f); // frames were drawn

    EXPECT_EQ(0, DeleteScene());
    EXPECT_EQ(nullptr, theTimer);
    EXPECT_EQ(nullptr, gWindowEventHandler);
    EXPECT_EQ(nullptr, gAppEventHandler);
    EXPECT_EQ(nullptr, gWindowEDMUPP);
    EXPECT_EQ(nullptr, gConfigEDMUPP);
    EXPECT_EQ(nullptr, aglContext);
    EXPECT_EQ(0, running);
    EXPECT_EQ(0, DeleteScene()); // and again, on nothing
}

TEST_F(StartupTest, DisplayChangeRebuildsInTheCurrentMode) {
    ASSERT_EQ(1, NewScene());
    handleWindowDMEvent(nullptr, 3, nullptr);
    handleConfigDMEvent(nullptr, kDMNotifyEvent, nullptr);
    EXPECT_EQ(1, running);
    FreeScene(); // a change after a failed build tries again
    handleWindowDMEvent(nullptr, kDMNotifyEvent, nullptr);
    EXPECT_EQ(1, running);
    EXPECT_FALSE(fullscreen);
}

TEST_F(StartupTest, MissingOrBrokenInterfaceDescriptionStopsEarly) {
    const char *broken[] = {
        nullptr, // no file at all
        "menubar MenuBar\n  menu \"M\"\n    item \"Run\" command test key Ctrl+T\n",
        "window MainWindow\n  size 100 100\n",
        "menubar MenuBar\nwindow MainWindow\n  size 100\n",
        "menubar MenuBar\nwidget MainWindow\n",
        "menubar MenuBar\n  menu \"M\"\n    item \"Run\" key Ctrl+T\nwindow MainWindow\n  size 9 "
        "9\n",
    };
    for (const char *text : broken) {
        std::string ui = resources + "main.ui";
        remove(ui.c_str());
        if (text) WriteBytes(ui, std::vector<unsigned char>(text, text + strlen(text)));
        testing::internal::CaptureStderr();
        EXPECT_EQ(0, NewScene()) << (text ? text : "(missing)");
        std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(std::string::npos, said.find("main.ui")) << said;
        EXPECT_EQ(nullptr, theTimer);
        EXPECT_EQ(nullptr, gAppEventHandler);
        EXPECT_EQ(0, running);
        EXPECT_EQ(0, DeleteScene());
    }
}

TEST(WorkingFolder, CutsAtTheLastSlash) {
    SetMainBundlePath("/Example.app");
    GetWorkingFolder();
    EXPECT_STREQ("/", app_folder);
    EXPECT_STREQ("/Example.app/Contents/Resources/", res_folder);

    SetMainBundlePath("/a/b/c/Example.app");
    GetWorkingFolder();
    EXPECT_STREQ("/a/b/c/", app_folder);
    EXPECT_STREQ("/a/b/c/Example.app/Contents/Resources/", res_folder);
    SetMainBundlePath(nullptr);
}

TEST(WorkingFolder, LongPathsFitOrLeaveTheFolderEmpty) {
    std::string path = "/" + std::string(230, 'p') + ".app"; // 235 bytes
    SetMainBundlePath(path.c_str());
    GetWorkingFolder();
    EXPECT_EQ(255u, strlen(res_folder));
    EXPECT_STREQ("/", app_folder);

    path = "/" + std::string(240, 'p') + ".app"; // resources would need 265
    SetMainBundlePath(path.c_str());
    GetWorkingFolder();
    EXPECT_STREQ("", res_folder);
    EXPECT_STREQ("/", app_folder);

    path = "/" + std::string(300, 'p') + "/x.app"; // beyond the path buffer
    SetMainBundlePath(path.c_str());
    GetWorkingFolder();
    EXPECT_STREQ("", res_folder);
    EXPECT_STREQ("", app_folder);
    SetMainBundlePath(nullptr);
}

} // namespace

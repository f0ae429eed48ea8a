#include "platform/bundle.h"
#include "platform/nib.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <string.h>
#include <sys/stat.h>

namespace {

// A bundle of the test's own whose interface description the test writes.
class NibTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string bundle = dir.path("Kelvane.app");
        for (std::string d : {bundle, bundle + "/Contents", bundle + "/Contents/Resources"})
            ASSERT_EQ(0, mkdir(d.c_str(), 0700));
        ui = bundle + "/Contents/Resources/main.ui";
        SetMainBundlePath(bundle.c_str());
    }
    void TearDown() override { SetMainBundlePath(nullptr); }
    // Loads a description whose window has the given size statement.
    OSStatus LoadWithSize(const std::string &size) {
        std::string text = "menubar MenuBar\n  menu \"M\"\n    item \"Run\" command test\n"
                           "window MainWindow\n  title \"T\"\n  " +
                           size + "\n";
        WriteBytes(ui, std::vector<unsigned char>(text.begin(), text.end()));
        IBNibRef nib = nullptr;
        testing::internal::CaptureStderr();
        OSStatus status = CreateNibReference("main", &nib);
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(status == noErr, nib != nullptr);
        DisposeNibReference(nib);
        return status;
    }
    TempDir dir;
    std::string ui;
};

TEST_F(NibTest, SizesNoWindowCanHaveAreRefused) {
    EXPECT_EQ(noErr, LoadWithSize("size 800 600"));
    EXPECT_EQ(noErr, LoadWithSize("size 1 16384"));
    for (const char *size : {"size 800 0", "size 0 600", "size 99999 9", "size 9 16385",
                             "size -800 600", "size 800", "size 800 600 1", "size 8x0 600",
                             "minsize 0 240\n  size 800 600", "minsize 320 99999\n  size 9 9"})
        EXPECT_NE(noErr, LoadWithSize(size)) << size;
}

} // namespace

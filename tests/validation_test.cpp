// Validation on the offscreen GL: the committed references pass on this renderer, every
// injected fault fails, failing frames are kept, and a validation frame is exactly what
// Render draws.
#include "bench/frame.h"
#include "validation/validfault.h"
#include "gfx/target.h"
#include "validation/validation.h"
#include "tests/support/gl_query.h"
#include "tests/support/scene_fixture.h"

#include <GL/gl.h>
#include <algorithm>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

const std::string kSource = KELVANE_SOURCE_DIR;
const std::string kReferences = kSource + "/resources/validation/";
const size_t kFrameBytes = (size_t)kValidationWidth * kValidationHeight * 3;
const size_t kFrameFile = 18 + kFrameBytes;

class ValidationTest : public SceneTest {
  protected:
    void SetUp() override {
        SceneTest::SetUp();
        InstallTexture(ReadBytes(kSource + "/resources/default.tga"));
        ASSERT_EQ(1, AllocScene());
    }
    void TearDown() override {
        gValidationFault = kFaultNone;
        SceneTest::TearDown();
    }
    std::string Shot(const char *stem, const char *suffix = "") const {
        return dir.path(std::string(kValidationShotPrefix) + stem + suffix + ".tga");
    }
};

TEST_F(ValidationTest, TheCommittedReferencesPassAndLeaveNoFiles) {
    ValidationOutcome o;
    EXPECT_EQ(0, ValidateAgainst(kReferences.c_str(), dir.prefix().c_str(), &o));
    EXPECT_EQ(0, o.failed);
    EXPECT_TRUE(o.targetMade);
    EXPECT_STREQ("passed", ValidationState(&o));
    for (const FrameVerdict &v : o.frames) {
        EXPECT_TRUE(v.passed) << v.name;
        EXPECT_TRUE(v.measured) << v.name;
    }
    EXPECT_STREQ("grid 12", o.frames[2].name);
    EXPECT_FALSE(FileExists(Shot("grid04")));
    EXPECT_FALSE(FileExists(Shot("grid04", " difference")));
}

TEST_F(ValidationTest, ReferencesComeFromTheResourceFolder) {
    ValidationOutcome o;
    EXPECT_EQ(kValidationFrameCount, RunValidation(dir.prefix().c_str(), &o)); // none there
    std::string refs = dir.path("validation");
    ASSERT_EQ(
        0,
        system(
            ("mkdir -p '" + refs + "' && cp '" + kReferences + "'*.tga '" + refs + "'").c_str()));
    EXPECT_EQ(0, RunValidation(dir.prefix().c_str(), &o));
}

// A frame without its reference fails unmeasured; its picture is kept, with nothing to
// difference it against. A reference of another size counts as none.
TEST_F(ValidationTest, MissingOrMisfitReferencesFail) {
    std::string refs = dir.path("refs/");
    ASSERT_EQ(0, system(("mkdir -p '" + refs + "' && cp '" + kReferences + "grid01.tga' '" +
                         kReferences + "grid12.tga' '" + refs + "'")
                            .c_str()));
    std::vector<unsigned char> small = ReadBytes(refs + "grid12.tga");
    small[12] = 0x7f; // width 639
    small.resize(18 + 639 * 480 * 3);
    WriteBytes(refs + "grid12.tga", small);
    ValidationOutcome o;
    EXPECT_EQ(2, ValidateAgainst(refs.c_str(), dir.prefix().c_str(), &o));
    EXPECT_TRUE(o.frames[0].passed);
    EXPECT_FALSE(o.frames[1].measured);
    EXPECT_FALSE(o.frames[2].measured);
    EXPECT_EQ(kFrameFile, ReadBytes(Shot("grid04")).size());
    EXPECT_FALSE(FileExists(Shot("grid04", " difference")));
}

// Validation draws into its own target and restores what the window's frames rely on;
// the frame Render then draws (read through the score view's screenshot) matches the
// validation frame outside the overlay's text, up to the last bit of a channel: the
// window's pixel format and the target's round differently on llvmpipe.
TEST_F(ValidationTest, AFrameIsWhatRenderDrawsAndTheWindowIsUntouched) {
    numCubes = 7;
    rotate = 11.0f;
    SizeWindow(window, 1000, 500, false); // a window unlike the target
    ResizeGL();
    GLfloat before[16], after[16];
    glMatrixMode(GL_PROJECTION);
    glGetFloatv(GL_PROJECTION_MATRIX, before);
    glMatrixMode(GL_MODELVIEW);
    ValidationOutcome o;
    ASSERT_EQ(0, ValidateAgainst(kReferences.c_str(), dir.prefix().c_str(), &o));
    glGetFloatv(GL_PROJECTION_MATRIX, after);
    EXPECT_EQ(0, memcmp(before, after, sizeof before));
    EXPECT_EQ(0, GlInt(GL_FRAMEBUFFER_BINDING));
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(1000, viewport[2]);
    EXPECT_EQ(500, viewport[3]);
    EXPECT_EQ(GL_MODELVIEW, GlInt(GL_MATRIX_MODE));
    EXPECT_EQ(GL_BACK, GlInt(GL_CULL_FACE_MODE));
    EXPECT_EQ(7, numCubes);
    EXPECT_EQ(11.0f, rotate);
    EXPECT_EQ(0u, frameTarget);

    SizeWindow(window, 640, 480, false);
    ResizeGL();
    const ValidationFrame &frame = kValidationFrames[1];
    numCubes = frame.grid;
    rotate = frame.angle;
    finalScore = 1; // the score view: Render saves the frame before its swap
    Render();
    std::vector<unsigned char> shot = ReadBytes(dir.path("Kelvane result.tga"));
    ASSERT_EQ(kFrameFile, shot.size());
    std::vector<unsigned char> mine(kFrameBytes);
    ASSERT_TRUE(OpenFrameTarget(kValidationWidth, kValidationHeight));
    ASSERT_TRUE(DrawValidationFrame(&frame, mine.data()));
    CloseFrameTarget();
    // Rows 60 to 380 from the bottom lie between the bottom lines and the score's.
    size_t differing = 0, sphere = 0;
    for (int y = 60; y < 380; y++)
        for (int x = 0; x < kValidationWidth; x++) {
            const unsigned char *m = &mine[((size_t)y * kValidationWidth + x) * 3];
            const unsigned char *s = &shot[18 + ((size_t)y * kValidationWidth + x) * 3];
            unsigned char bgr[3] = {s[2], s[1], s[0]};
            differing += PixelDistance(m, bgr) > 1;
            sphere += m[0] != 0 || m[1] != 25 || m[2] != 51; // not the clear colour
        }
    EXPECT_EQ(0u, differing);
    EXPECT_GT(sphere, 10000u);
}

TEST_F(ValidationTest, APassingFrameClearsTheFilesOfAnEarlierFailure) {
    WriteBytes(Shot("grid01"), {1, 2, 3});
    WriteBytes(Shot("grid01", " difference"), {1, 2, 3});
    ValidationOutcome o;
    ASSERT_EQ(0, ValidateAgainst(kReferences.c_str(), dir.prefix().c_str(), &o));
    EXPECT_FALSE(FileExists(Shot("grid01")));
    EXPECT_FALSE(FileExists(Shot("grid01", " difference")));
}

// A renderer that cannot make the target draws no frame: it is not validated, which is
// not failing. Nothing is saved, and the words say why.
TEST_F(ValidationTest, WithoutATargetTheRendererIsNotValidatedRatherThanFailed) {
    gValidationFault = kFaultNoTarget;
    ValidationOutcome o;
    EXPECT_EQ(kValidationFrameCount,
              ValidateAgainst(kReferences.c_str(), dir.prefix().c_str(), &o));
    EXPECT_FALSE(o.targetMade);
    EXPECT_STREQ("not_validated", ValidationState(&o));
    for (const FrameVerdict &v : o.frames)
        EXPECT_FALSE(v.measured) << v.name;
    EXPECT_FALSE(FileExists(Shot("grid04")));
    EXPECT_EQ(0, GlInt(GL_FRAMEBUFFER_BINDING));
    char *text = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&text, &size);
    ASSERT_NE(nullptr, out);
    PrintValidation(out, &o);
    fclose(out);
    std::string printed(text, size);
    free(text);
    EXPECT_EQ(0u, printed.find("validation: not done: ")) << printed;
    EXPECT_EQ(std::string::npos, printed.find("fail")) << printed;
    EXPECT_EQ(std::string::npos, printed.find("FAILED")) << printed;
    EXPECT_EQ(1, std::count(printed.begin(), printed.end(), '\n')) << printed;

    gValidationFault = kFaultNone; // a later validation of the same renderer can draw
    EXPECT_EQ(0, ValidateAgainst(kReferences.c_str(), dir.prefix().c_str(), &o));
    EXPECT_TRUE(o.targetMade);
}

class ValidationFaultTest : public ValidationTest,
                            public ::testing::WithParamInterface<ValidationFault> {};

// Every fault fails at least one frame; each failing frame is kept with its difference,
// and the figures are printed for docs/validation.md.
TEST_P(ValidationFaultTest, FailsAndKeepsTheFailingFrames) {
    gValidationFault = GetParam();
    ValidationOutcome o;
    int failed = ValidateAgainst(kReferences.c_str(), dir.prefix().c_str(), &o);
    gValidationFault = kFaultNone;
    PrintValidation(stdout, &o);
    EXPECT_GE(failed, 1);
    EXPECT_STREQ("failed", ValidationState(&o));
    for (int i = 0; i < kValidationFrameCount; i++) {
        const FrameVerdict &v = o.frames[i];
        EXPECT_TRUE(v.measured);
        std::string stem(kValidationFrames[i].file, strlen(kValidationFrames[i].file) - 4);
        std::vector<unsigned char> pic = ReadBytes(Shot(stem.c_str()));
        std::vector<unsigned char> diff = ReadBytes(Shot(stem.c_str(), " difference"));
        if (v.passed) {
            EXPECT_TRUE(pic.empty() && diff.empty()) << v.name;
            continue;
        }
        ASSERT_EQ(kFrameFile, pic.size()) << v.name;
        ASSERT_EQ(kFrameFile, diff.size()) << v.name;
        size_t red = 0; // outliers off the edges, blue, green, red in the file
        for (size_t p = 18; p < diff.size(); p += 3)
            red += diff[p] == 0 && diff[p + 1] == 0 && diff[p + 2] == 255;
        EXPECT_GT(red, 0u) << v.name;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFault, ValidationFaultTest,
                         ::testing::Values(kFaultNoTexture, kFaultNoLighting, kFaultCullReversed,
                                           kFaultFourthSphere, kFaultTextureRows, kFaultWrongAspect,
                                           kFaultFlatShading));

} // namespace

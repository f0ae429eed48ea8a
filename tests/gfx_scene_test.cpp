#include "gfx/text.h"
#include "tests/support/scene_fixture.h"
#include "tests/support/tga_bytes.h"

#include "tests/support/gl_query.h"

#include <GL/gl.h>
#include <sys/stat.h>

namespace {

using Bytes = std::vector<unsigned char>;
using SceneBuildTest = SceneTest;

TEST_F(SceneBuildTest, CompleteBuildMarksTheSceneReady) {
    InstallDefaultTexture();
    ASSERT_EQ(1, AllocScene());
    EXPECT_EQ(1, running);
    EXPECT_TRUE(glIsList(cubeList));
    EXPECT_TRUE(glIsTexture(texAdr));
    EXPECT_EQ((GLint)texAdr, GlInt(GL_TEXTURE_BINDING_2D));
    EXPECT_EQ(4, GlInt(GL_UNPACK_ALIGNMENT));
    EXPECT_EQ(640, resolution.h); // the build ends by following the window
    EXPECT_EQ(480, resolution.v);
}

TEST_F(SceneBuildTest, MissingTextureLeavesTheSceneNotReady) {
    resolution = {7, 9};
    EXPECT_EQ(0, AllocScene());
    EXPECT_EQ(0, running);
    EXPECT_TRUE(glIsList(cubeList));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT1));
    EXPECT_EQ(0, GlInt(GL_TEXTURE_BINDING_2D));
    EXPECT_EQ(7, resolution.v); // no resize ran
    EXPECT_EQ(9, resolution.h);
    EXPECT_TRUE(recordedAlerts.empty());
}

TEST_F(SceneBuildTest, LightsAreSetAndOnlyLight1IsOn) {
    InstallDefaultTexture();
    ASSERT_EQ(1, AllocScene());
    EXPECT_TRUE(glIsEnabled(GL_LIGHT1));
    EXPECT_FALSE(glIsEnabled(GL_LIGHT2));
    EXPECT_FALSE(glIsEnabled(GL_LIGHT0));
    GLfloat v[4];
    glGetLightfv(GL_LIGHT1, GL_DIFFUSE, v);
    EXPECT_EQ(0.4f, v[0]);
    EXPECT_EQ(0.6f, v[1]);
    EXPECT_EQ(0.8f, v[2]);
    glGetLightfv(GL_LIGHT2, GL_DIFFUSE, v);
    EXPECT_EQ(0.8f, v[0]);
    EXPECT_EQ(0.2f, v[2]);
    glGetLightfv(GL_LIGHT1, GL_POSITION, v); // given under the identity: stored as is
    EXPECT_EQ(1000.0f, v[0]);
    EXPECT_EQ(-100.0f, v[2]);
    EXPECT_EQ(0.0f, v[3]);
    glGetLightfv(GL_LIGHT2, GL_SPECULAR, v);
    EXPECT_EQ(0.0f, v[0]);
    EXPECT_EQ(1.0f, v[3]);
    glGetLightfv(GL_LIGHT0, GL_DIFFUSE, v); // untouched: the GL default
    EXPECT_EQ(1.0f, v[0]);
}

TEST_F(SceneBuildTest, TheSphereListDrawsExactly1152Triangles) {
    InstallDefaultTexture();
    ASSERT_EQ(1, AllocScene());
    glDisable(GL_CULL_FACE); // the back half counts too
    glLoadIdentity();
    glTranslatef(0, 0, -6);
    std::vector<GLfloat> buffer(1 << 20);
    glFeedbackBuffer((GLsizei)buffer.size(), GL_3D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    glCallList(cubeList);
    GLint used = glRenderMode(GL_RENDER);
    ASSERT_GT(used, 0);
    int triangles = 0, others = 0;
    for (GLint i = 0; i < used;) {
        GLint token = (GLint)buffer[i++];
        if (token != GL_POLYGON_TOKEN) {
            others++;
            break;
        }
        GLint vertices = (GLint)buffer[i++];
        triangles += vertices == 3;
        others += vertices != 3;
        i += 3 * vertices;
    }
    EXPECT_EQ(0, others);
    EXPECT_EQ(1152, triangles);
}

TEST_F(SceneBuildTest, TextureRepeatsFiltersLinearlyAndModulates) {
    InstallDefaultTexture();
    ASSERT_EQ(1, AllocScene());
    GLint v = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &v);
    EXPECT_EQ(GL_REPEAT, v);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &v);
    EXPECT_EQ(GL_REPEAT, v);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &v);
    EXPECT_EQ(GL_LINEAR, v); // no mipmaps are made, so none may be asked for
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &v);
    EXPECT_EQ(GL_LINEAR, v);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &v);
    EXPECT_EQ(GL_MODULATE, v);
}

// Uploads a 2 × 2 image of the depth and reads the texture back.
struct Upload {
    GLint internalFormat;
    Bytes texels;
};

class TextureTest : public SceneTest {
  protected:
    Upload Load(int depth, const Bytes &filePixels, GLenum readFormat, int bytes) {
        TgaHeader h;
        h.width = h.height = 2;
        h.depth = depth;
        h.imageType = depth == 8 ? 3 : 2;
        InstallTexture(TgaFile(h, filePixels));
        EXPECT_EQ(1, AllocScene());
        Upload u;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &u.internalFormat);
        u.texels.resize(4 * bytes);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, readFormat, GL_UNSIGNED_BYTE, u.texels.data());
        return u;
    }
};

TEST_F(TextureTest, DepthChoosesTheFormatAndRowsAreFlipped) {
    // File rows: (1 2 3)(4 5 6) then (7 8 9)(10 11 12), blue first. The first file row
    // becomes the texture's last.
    Upload rgb = Load(24, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, GL_RGB, 3);
    EXPECT_TRUE(rgb.internalFormat == 3 || rgb.internalFormat == GL_RGB) << rgb.internalFormat;
    EXPECT_EQ(Bytes({9, 8, 7, 12, 11, 10, 3, 2, 1, 6, 5, 4}), rgb.texels);
    FreeScene();

    Upload rgba = Load(32, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, GL_RGBA, 4);
    EXPECT_TRUE(rgba.internalFormat == 4 || rgba.internalFormat == GL_RGBA);
    EXPECT_EQ(Bytes({11, 10, 9, 12, 15, 14, 13, 16, 3, 2, 1, 4, 7, 6, 5, 8}), rgba.texels);
    FreeScene();

    Upload gray = Load(8, {10, 20, 30, 40}, GL_LUMINANCE, 1);
    EXPECT_TRUE(gray.internalFormat == 1 || gray.internalFormat == GL_LUMINANCE);
    EXPECT_EQ(Bytes({30, 40, 10, 20}), gray.texels);
}

TEST_F(SceneBuildTest, TeardownIsSafeFromAnyStateAndABuildFollowsIt) {
    EXPECT_EQ(1, FreeScene()); // nothing built
    EXPECT_EQ(1, FreeScene());
    EXPECT_EQ(nullptr, aglContext);

    InstallDefaultTexture();
    for (int round = 0; round < 3; round++) {
        ASSERT_EQ(1, AllocScene()) << round;
        EXPECT_EQ(1, running);
        EXPECT_EQ(1, FreeScene());
        EXPECT_EQ(0, running);
        EXPECT_EQ(nullptr, aglContext);
        EXPECT_EQ(nullptr, aglPixFmt);
        EXPECT_EQ(0u, fontList);
        EXPECT_EQ(0u, bigFontList);
    }
}

TEST_F(SceneBuildTest, ReadOnlyTextureStillLoads) {
    InstallDefaultTexture();
    ASSERT_EQ(0, chmod(dir.path("default.tga").c_str(), 0444));
    EXPECT_EQ(1, AllocScene());
}

TEST_F(SceneBuildTest, ErrorShowsANoteAndReportsFailure) {
    EXPECT_FALSE(Error("OpenGL Init", "Unable to create graphic context"));
    ASSERT_EQ(1u, recordedAlerts.size());
    EXPECT_EQ(kAlertNoteAlert, recordedAlerts[0].type);
    EXPECT_EQ("Unable to create graphic context", recordedAlerts[0].text);
}

} // namespace

#include "gfx/scene.h"

#include "self/folders.h"
#include "bench/state.h" // up: a scene built or freed is the benchmark's running state
#include "gfx/context.h"
#include "image/pixbuf.h"
#include "image/tga.h"

#include <GL/glu.h>
#include <stdio.h>
#include <stdlib.h>

UInt32 cubeList;
UInt32 texAdr;

const char kTextureName[] = "default.tga";

int AllocScene(void) {
    if (!StartOpenGL()) return 0;
    BuildModel();
    InitLight();
    if (!LoadTexture(kTextureName)) return 0;
    running = 1;
    ResizeGL();
    return 1;
}

int FreeScene(void) {
    running = 0;
    if (fontList) glDeleteLists(fontList, 256);
    fontList = 0;
    if (bigFontList) glDeleteLists(bigFontList, 256);
    bigFontList = 0;
    aglSetDrawable(aglContext, NULL);
    aglSetCurrentContext(NULL);
    if (aglContext) {
        aglDestroyContext(aglContext);
        aglContext = NULL;
    }
    if (aglPixFmt) {
        aglDestroyPixelFormat(aglPixFmt);
        aglPixFmt = NULL;
    }
    return 1;
}

void BuildModel(void) {
    cubeList = glGenLists(1);
    glNewList(cubeList, GL_COMPILE);
    GLUquadric *q = gluNewQuadric();
    if (q) {
        gluQuadricDrawStyle(q, GLU_FILL);
        gluQuadricNormals(q, GLU_SMOOTH);
        gluQuadricTexture(q, GL_TRUE);
        gluSphere(q, 1.0, 24, 24);
    }
    glEndList();
    if (q) gluDeleteQuadric(q);
}

void InitLight(void) {
    static const GLfloat pos1[] = {1000.0f, 0.0f, -100.0f, 0.0f};
    static const GLfloat pos2[] = {-1000.0f, 0.0f, 500.0f, 0.0f};
    static const GLfloat diffuse1[] = {0.4f, 0.6f, 0.8f, 1.0f};
    static const GLfloat diffuse2[] = {0.8f, 0.4f, 0.2f, 1.0f};
    static const GLfloat black[] = {0.0f, 0.0f, 0.0f, 1.0f};
    glLightfv(GL_LIGHT1, GL_POSITION, pos1);
    glLightfv(GL_LIGHT2, GL_POSITION, pos2);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, diffuse1);
    glLightfv(GL_LIGHT2, GL_DIFFUSE, diffuse2);
    glLightfv(GL_LIGHT1, GL_AMBIENT, black);
    glLightfv(GL_LIGHT1, GL_SPECULAR, black);
    glLightfv(GL_LIGHT2, GL_AMBIENT, black);
    glLightfv(GL_LIGHT2, GL_SPECULAR, black);
    glEnable(GL_LIGHT1);
}

int LoadTexture(const char *name) {
    // Room for the longest resource folder; a name that still does not fit is no texture
    // rather than some other file under a cut path.
    char path[kFolderSize + 64];
    int n = snprintf(path, sizeof path, "%s%s", res_folder, name);
    if (n < 0 || (size_t)n >= sizeof path) return 0;

    int width = 0, height = 0, depth = 0;
    unsigned char *pixels = ReadTGA(path, &width, &height, &depth);
    if (!pixels) return 0;
    util_flip(pixels, width, height, depth / 8);

    GLenum format = GL_RGB;
    GLint components = 3;
    if (depth == 8) {
        format = GL_LUMINANCE;
        components = 1;
    } else if (depth == 32) {
        format = GL_RGBA;
        components = 4;
    }

    glGenTextures(1, &texAdr);
    glBindTexture(GL_TEXTURE_2D, texAdr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, (GLfloat)GL_MODULATE);
    // Rows are packed as tightly as the flip treated them.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, components, width, height, 0, format, GL_UNSIGNED_BYTE, pixels);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    free(pixels);
    glBindTexture(GL_TEXTURE_2D, texAdr);
    return 1;
}

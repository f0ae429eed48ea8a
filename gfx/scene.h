// The scene: context, sphere, lights and texture, built and torn down as a whole.
#pragma once

#include "platform/types.h"

extern UInt32 cubeList; // display list of the sphere
extern UInt32 texAdr;   // the sphere texture

extern const char kTextureName[]; // "default.tga", in the resource folder

// Builds the scene in the mode `fullscreen` selects; sets running on success.
int AllocScene(void);
// Tears down whatever was built, from any state. Always 1.
int FreeScene(void);
void BuildModel(void);
void InitLight(void);
// Loads a TGA from the resource folder into texAdr; 0 when it cannot be read.
int LoadTexture(const char *name);

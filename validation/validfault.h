// Faults that the validation tests inject into the drawing of validation frames, each a
// way a GL implementation could skip work, to show that validation catches every one; and
// a renderer that cannot be validated at all.
// Only tests set the switch; no option or setting of the program reaches it.
#pragma once

enum ValidationFault {
    kFaultNone = 0,
    kFaultNoTexture,    // the spheres drawn untextured
    kFaultNoLighting,   // lighting left off
    kFaultCullReversed, // the front faces culled instead of the back ones
    kFaultFourthSphere, // every fourth sphere of the grid left out
    kFaultTextureRows,  // the texture's rows in the wrong order
    kFaultWrongAspect,  // the projection of a square drawable
    kFaultFlatShading,  // one colour per facet instead of smooth shading
    kFaultNoTarget,     // no target to draw into, as without framebuffer objects
    kFaultCount
};

extern ValidationFault gValidationFault; // kFaultNone but in the tests

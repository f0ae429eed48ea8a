// The GL environment of a run: the variables that choose or tune the driver (Mesa's and
// Gallium's, the GL dispatch's, NVIDIA's, Vulkan's under zink, the loader's). Two runs that
// differ only in them are two different renderers, and a result has to say which it was.
#pragma once

#include "record/model.h"

#include <string>

// A value past this many bytes is cut there: a search path of a few thousand bytes is
// still whole, and no variable can make a result huge.
enum { kEnvironmentValueMost = 4096 };

// The GL variables of env, an array as environ is (NAME=VALUE strings, then null), as a
// driver would read them: the first of a name counts. KELVANE_ names are the program's own
// test hooks, never the driver's. At most kResultEnvironmentMost of them, the first by
// name; a name of more than 255 bytes is no driver's and is left out.
ResultEnvironment GlEnvironmentOf(const char *const *env);

// "GALLIUM_DRIVER=softpipe mesa_glthread=true": the variables as a shell takes them back,
// "" for none.
std::string GlEnvironmentText(const ResultEnvironment &environment);

// A value as GlEnvironmentText shows it: bare where a shell reads it as it is, else quoted.
std::string GlEnvironmentValue(const std::string &value);

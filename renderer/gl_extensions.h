#pragma once
// Which OpenGL extensions the current context offers, by whole name. The
// environment variable HARBOR_LIGHTS_HIDE_GL_EXTENSIONS (names separated by
// spaces) hides some of them from the program, so the paths for drivers
// without them can be measured and seen on any machine.
#include <string>

namespace hl {

// `name` appears as a whole word in `extensions` (a GL_EXTENSIONS string) and
// not in `hidden`.
bool ExtensionListed(const char* extensions, const std::string& name, const char* hidden = nullptr);

// The same for the current context's GL_EXTENSIONS and the environment's hidden list.
bool HasGlExtension(const std::string& name);

// The entry point of an extension function, or null.
void* GlProcAddress(const char* name);

}  // namespace hl

#include "renderer/gl_extensions.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif
#include <GL/gl.h>

#include <cstdlib>
#include <cstring>

namespace hl {
namespace {

bool ListedAsWord(const char* list, const std::string& name) {
  if (!list || name.empty()) return false;
  for (const char* p = std::strstr(list, name.c_str()); p; p = std::strstr(p + 1, name.c_str())) {
    const bool startsWord = p == list || p[-1] == ' ';
    const char after = p[name.size()];
    if (startsWord && (after == '\0' || after == ' ')) return true;
  }
  return false;
}

}  // namespace

bool ExtensionListed(const char* extensions, const std::string& name, const char* hidden) {
  return ListedAsWord(extensions, name) && !ListedAsWord(hidden, name);
}

bool HasGlExtension(const std::string& name) {
  return ExtensionListed(reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)), name,
                         std::getenv("HARBOR_LIGHTS_HIDE_GL_EXTENSIONS"));
}

void* GlProcAddress(const char* name) {
#ifdef _WIN32
  return reinterpret_cast<void*>(wglGetProcAddress(name));
#else
  // The GL library exports its extension functions like any other.
  return dlsym(RTLD_DEFAULT, name);
#endif
}

}  // namespace hl

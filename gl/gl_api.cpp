#include "gl/gl_api.h"

#include "platform/platform.h"

GlApi glApi;

std::vector<std::string_view> loadGlApi() {
    std::vector<std::string_view> missing;
#define QV_GL_LOAD_FIELD(result, name, parameters, hasCaller)                                    \
    glApi.name = reinterpret_cast<decltype(glApi.name)>(platform::getGlProcAddress(#name));        \
    if (glApi.name == nullptr && (hasCaller)) missing.push_back(#name);
    QV_GL_ENTRY_POINTS(QV_GL_LOAD_FIELD)
#undef QV_GL_LOAD_FIELD
    glDisable(GL_DEPTH_TEST);
    return missing;
}

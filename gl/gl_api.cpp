#include "gl/gl_api.h"

#include "platform/platform.h"

GlApi glApi;

std::vector<std::string_view> fillGlApi(GlApi& api, GlProcLookup lookup) {
    std::vector<std::string_view> missing;
#define QV_GL_LOAD_FIELD(result, name, parameters, hasCaller)             \
    api.name = reinterpret_cast<decltype(api.name)>(lookup(#name));       \
    if (api.name == nullptr && (hasCaller)) missing.push_back(#name);
    QV_GL_ENTRY_POINTS(QV_GL_LOAD_FIELD)
#undef QV_GL_LOAD_FIELD
    return missing;
}

std::vector<std::string_view> loadGlApi() {
    std::vector<std::string_view> missing = fillGlApi(glApi, platform::getGlProcAddress);
    glDisable(GL_DEPTH_TEST);
    return missing;
}

#include "gl/gl_helpers.h"

#include "gl/framebuffer_blit.h"
#include "gl/gl_api.h"

namespace {

void deleteTextureName(std::int32_t id) {
    if (id == -1) return;
    const GLuint name = static_cast<GLuint>(id);
    glDeleteTextures(1, &name);
}

GLenum dataTypeFor(GLenum internalFormat) {
    return internalFormat == kGlRGBA8 ? GL_UNSIGNED_BYTE : GL_FLOAT;
}

}  // namespace

Texture::Texture(Texture&& other) noexcept : id(other.id) { other.id = -1; }

Texture& Texture::operator=(Texture&& other) noexcept {
    const std::int32_t incoming = other.id;
    other.id = -1;
    const std::int32_t old = id;
    id = incoming;
    deleteTextureName(old);
    return *this;
}

Texture::~Texture() { deleteTextureName(id); }

Texture createTexture(int width, int height, std::uint32_t packedFormat, const void* pixels,
                      bool mipmaps, std::uint32_t existingName) {
    const GLenum pixelFormat = packedFormat >> 16;
    const GLenum internalFormat = packedFormat & 0xFFFF;
    GLuint name = existingName;
    if (name == 0) glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(internalFormat), width, height, 0, pixelFormat,
                 dataTypeFor(internalFormat), pixels);
    Texture result(static_cast<std::int32_t>(name));
    glBindTexture(GL_TEXTURE_2D, name);
    if (mipmaps) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glApi.glGenerateMipmap(GL_TEXTURE_2D);
    } else {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    }
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glBindTexture(GL_TEXTURE_2D, 0);
    return result;
}

void attachRenderTarget(std::uint32_t framebuffer, std::uint32_t texture, int level) {
    glApi.glBindFramebuffer(kGlFramebuffer, framebuffer);
    if (framebuffer != 0) {
        glApi.glFramebufferTexture2D(kGlFramebuffer, kGlColorAttachment0, GL_TEXTURE_2D, texture, level);
    }
}

void makeRenderTarget(RenderTarget& target, std::uint32_t texture) {
    if (target.framebuffer != 0) return;
    glApi.glGenFramebuffers(1, &target.framebuffer);
    target.texture = texture;
    if (texture != 0) attachRenderTarget(target.framebuffer, texture, 0);
}

std::uint32_t makeRenderbuffer(std::uint32_t internalFormat, int width, int height) {
    if (glApi.glGenRenderbuffers == nullptr || glApi.glBindRenderbuffer == nullptr ||
        glApi.glRenderbufferStorage == nullptr || glApi.glFramebufferRenderbuffer == nullptr) {
        return 0;
    }
    GLuint name = 0;
    glApi.glGenRenderbuffers(1, &name);
    glApi.glBindRenderbuffer(kGlRenderbuffer, name);
    glApi.glRenderbufferStorage(kGlRenderbuffer, internalFormat, width, height);
    return name;
}

std::uint32_t makeRenderbufferTarget(std::uint32_t renderbuffer) {
    GLuint framebuffer = 0;
    glApi.glGenFramebuffers(1, &framebuffer);
    glApi.glBindFramebuffer(kGlFramebuffer, framebuffer);
    glApi.glFramebufferRenderbuffer(kGlFramebuffer, kGlColorAttachment0, kGlRenderbuffer, renderbuffer);
    return framebuffer;
}

void drawFullScreenRect() {
    glRecti(-1, -1, 1, 1);
    glFlush();
    glFinish();
}

TextureUnitBindings boundTextures() {
    GLint active = 0;
    glGetIntegerv(kGlActiveTexture, &active);
    TextureUnitBindings bindings{};
    for (int unit = 0; unit < kRecordedTextureUnits; ++unit) {
        glApi.glActiveTexture(kGlTexture0 + static_cast<GLenum>(unit));
        GLint name = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
        bindings[static_cast<std::size_t>(unit)] = static_cast<std::uint32_t>(name);
    }
    glApi.glActiveTexture(static_cast<GLenum>(active));
    return bindings;
}

void bindTextures(const TextureUnitBindings& bindings) {
    for (int unit = kRecordedTextureUnits - 1; unit >= 0; --unit) {
        glApi.glActiveTexture(kGlTexture0 + static_cast<GLenum>(unit));
        glBindTexture(GL_TEXTURE_2D, bindings[static_cast<std::size_t>(unit)]);
    }
}

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "gl/gl_api.h"
#include "gl/gl_helpers.h"
#include "tests/gl/gl_test_context.h"

namespace {

bool isTexture(std::int32_t id) { return glIsTexture(static_cast<GLuint>(id)) == GL_TRUE; }

GLint boundFramebuffer() {
    GLint bound = -1;
    glGetIntegerv(0x8CA6 /* GL_FRAMEBUFFER_BINDING */, &bound);
    return bound;
}

GLuint compileFragmentProgram(const char* source) {
    return glApi.glCreateShaderProgramv(kGlFragmentShader, 1, &source);
}

std::vector<float> readRgba(int width, int height) {
    std::vector<float> pixels(static_cast<size_t>(width) * height * 4, -1.0f);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_FLOAT, pixels.data());
    return pixels;
}

TEST(GlApiTest, EveryEntryPointIsFetchedAndDepthTestIsOff) {
#define QV_EXPECT_LOADED(result, name, parameters, hasCaller) EXPECT_NE(glApi.name, nullptr) << #name;
    QV_GL_ENTRY_POINTS(QV_EXPECT_LOADED)
#undef QV_EXPECT_LOADED
    EXPECT_EQ(glIsEnabled(GL_DEPTH_TEST), GL_FALSE);
}

TEST(CreateTextureTest, UploadsPixelsBottomRowFirstAndReadsThemBack) {
    const std::array<float, 2 * 2 * 4> pixels = {0.0f, 0.25f, 0.5f, 1.0f,  2.0f, -3.0f, 4.5f, 5.0f,
                                                 6.0f, 7.0f,  8.0f, 9.0f,  10.f, 11.f,  12.f, 13.f};
    Texture texture = createTexture(2, 2, kTextureFormatRGBA32F, pixels.data(), false, 0);
    ASSERT_NE(texture.id, -1);
    EXPECT_TRUE(isTexture(texture.id));

    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0) << "createTexture leaves no texture bound";

    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture.id));
    std::array<float, 16> readBack{};
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_FLOAT, readBack.data());
    EXPECT_EQ(readBack, pixels);
    GLint minFilter = 0, wrapS = 0, wrapT = 0, width = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrapS);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrapT);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(minFilter, GL_LINEAR);
    EXPECT_EQ(wrapS, GL_REPEAT);
    EXPECT_EQ(wrapT, GL_REPEAT);
    EXPECT_EQ(width, 2);
    glBindTexture(GL_TEXTURE_2D, 0);
}

TEST(CreateTextureTest, WithoutPixelsAllocatesTheSizeAndWithMipmapsBuildsTheChain) {
    Texture texture = createTexture(64, 32, kTextureFormatRGBA32F, nullptr, true, 0);
    ASSERT_NE(texture.id, -1);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture.id));
    GLint width = 0, height = 0, format = 0, minFilter = 0, lastLevelWidth = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 6, GL_TEXTURE_WIDTH, &lastLevelWidth);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    EXPECT_EQ(width, 64);
    EXPECT_EQ(height, 32);
    EXPECT_EQ(format, static_cast<GLint>(kGlRGBA32F));
    EXPECT_EQ(minFilter, GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(lastLevelWidth, 1) << "mipmap levels were generated";
    glBindTexture(GL_TEXTURE_2D, 0);
}

TEST(CreateTextureTest, SingleChannelFloatFormat) {
    const std::array<float, 4> pixels = {1.5f, -2.0f, 0.0f, 3.25f};
    Texture texture = createTexture(4, 1, kTextureFormatR32F, pixels.data(), false, 0);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture.id));
    std::array<float, 4> readBack{};
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RED, GL_FLOAT, readBack.data());
    EXPECT_EQ(readBack, pixels);
    glBindTexture(GL_TEXTURE_2D, 0);
}

TEST(TextureTest, ReplacingDeletesTheOldNameOnceAndLeavesTheSourceEmpty) {
    Texture owner = createTexture(4, 4, kTextureFormatRGBA32F, nullptr, false, 0);
    Texture source = createTexture(4, 4, kTextureFormatRGBA32F, nullptr, false, 0);
    const std::int32_t oldName = owner.id;
    const std::int32_t newName = source.id;

    owner = std::move(source);
    EXPECT_EQ(owner.id, newName);
    EXPECT_EQ(source.id, -1);
    EXPECT_FALSE(isTexture(oldName));
    EXPECT_TRUE(isTexture(newName));

    // The freed name may be handed out again; nothing may delete it a second time.
    Texture reuser = createTexture(4, 4, kTextureFormatRGBA32F, nullptr, false, 0);
    { Texture destroyedEmpty = std::move(source); }
    EXPECT_TRUE(isTexture(reuser.id));
    EXPECT_TRUE(isTexture(owner.id));
}

TEST(TextureTest, ReplacingAnEmptyOwnerDeletesNothingAndMovingEmptiesTheSource) {
    Texture keeper = createTexture(4, 4, kTextureFormatRGBA32F, nullptr, false, 0);
    Texture empty;
    Texture source = createTexture(4, 4, kTextureFormatRGBA32F, nullptr, false, 0);
    empty = std::move(source);
    EXPECT_TRUE(isTexture(keeper.id));
    EXPECT_TRUE(isTexture(empty.id));

    Texture moved(std::move(empty));
    EXPECT_EQ(empty.id, -1);
    EXPECT_TRUE(isTexture(moved.id));
    const std::int32_t name = moved.id;
    { Texture scoped(std::move(moved)); }
    EXPECT_FALSE(isTexture(name)) << "destroying the owner deletes its texture";
}

TEST(RenderTargetTest, MakingTwiceKeepsTheFirstFramebufferAndTexture) {
    Texture first = createTexture(8, 8, kTextureFormatRGBA32F, nullptr, false, 0);
    Texture second = createTexture(8, 8, kTextureFormatRGBA32F, nullptr, false, 0);
    RenderTarget target;
    makeRenderTarget(target, static_cast<std::uint32_t>(first.id));
    const std::uint32_t framebuffer = target.framebuffer;
    ASSERT_NE(framebuffer, 0u);
    EXPECT_EQ(boundFramebuffer(), static_cast<GLint>(framebuffer)) << "the new framebuffer stays bound";

    makeRenderTarget(target, static_cast<std::uint32_t>(second.id));
    EXPECT_EQ(target.framebuffer, framebuffer);
    EXPECT_EQ(target.texture, static_cast<std::uint32_t>(first.id));
    GLint attached = 0;
    glApi.glBindFramebuffer(kGlFramebuffer, framebuffer);
    glGetIntegerv(0x8CA6, &attached);
    GLint attachedName = 0;
    auto getAttachment = reinterpret_cast<void (*)(GLenum, GLenum, GLenum, GLint*)>(
        platform::getGlProcAddress("glGetFramebufferAttachmentParameteriv"));
    getAttachment(kGlFramebuffer, kGlColorAttachment0, 0x8CD1 /* OBJECT_NAME */, &attachedName);
    EXPECT_EQ(attachedName, first.id);
    glApi.glBindFramebuffer(kGlFramebuffer, 0);
}

TEST(RenderTargetTest, TextureNameZeroMakesTheFramebufferButAttachesNothing) {
    glApi.glBindFramebuffer(kGlFramebuffer, 0);
    RenderTarget target;
    makeRenderTarget(target, 0);
    EXPECT_NE(target.framebuffer, 0u);
    EXPECT_EQ(target.texture, 0u);
    EXPECT_EQ(boundFramebuffer(), 0) << "nothing was bound or attached";
}

TEST(AttachRenderTargetTest, FramebufferZeroBindsTheWindowAndAttachesNothing) {
    Texture texture = createTexture(8, 8, kTextureFormatRGBA32F, nullptr, false, 0);
    RenderTarget target;
    makeRenderTarget(target, static_cast<std::uint32_t>(texture.id));
    attachRenderTarget(0, static_cast<std::uint32_t>(texture.id), 0);
    EXPECT_EQ(boundFramebuffer(), 0);
}

TEST(DrawFullScreenRectTest, WritesEveryPixelOfARenderTarget) {
    constexpr int kWidth = 37, kHeight = 23;  // odd sizes catch half-covered edges
    std::vector<float> sentinel(kWidth * kHeight * 4, -7.0f);
    Texture texture = createTexture(kWidth, kHeight, kTextureFormatRGBA32F, sentinel.data(), false, 0);
    RenderTarget target;
    makeRenderTarget(target, static_cast<std::uint32_t>(texture.id));
    glViewport(0, 0, kWidth, kHeight);
    const GLuint program = compileFragmentProgram(
        "#version 450\nout vec4 colour;\nvoid main() { colour = vec4(gl_FragCoord.xy, 3.0, 100.0); }\n");
    glApi.glUseProgram(program);
    drawFullScreenRect();
    const std::vector<float> pixels = readRgba(kWidth, kHeight);
    int wrong = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const float* p = &pixels[(static_cast<size_t>(y) * kWidth + x) * 4];
            if (p[0] != x + 0.5f || p[1] != y + 0.5f || p[2] != 3.0f || p[3] != 100.0f) ++wrong;
        }
    }
    EXPECT_EQ(wrong, 0) << "pixels the rectangle did not write once with the program";
    glApi.glUseProgram(0);
    glApi.glDeleteProgram(program);
    glApi.glBindFramebuffer(kGlFramebuffer, 0);
}

}  // namespace

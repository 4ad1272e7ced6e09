// Owners of GPU objects and the small helpers every pass is built from.
#pragma once

#include <array>
#include <cstdint>

// Owns one OpenGL texture name; -1 owns nothing. Moved, never copied.
struct Texture {
    std::int32_t id = -1;

    Texture() = default;
    explicit Texture(std::int32_t name) : id(name) {}
    Texture(Texture&& other) noexcept;
    // Takes the source's name (leaving -1 there), stores it, then deletes the old name.
    Texture& operator=(Texture&& other) noexcept;
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;
    ~Texture();
};

// One framebuffer with one colour texture that a Texture owns elsewhere; 0 = not made yet.
struct RenderTarget {
    std::uint32_t framebuffer = 0;
    std::uint32_t texture = 0;
};

// Packed texture format: pixel-data format in the high 16 bits, internal format in the low 16.
inline constexpr std::uint32_t kTextureFormatR32F = 0x1903822E;
inline constexpr std::uint32_t kTextureFormatRGBA32F = 0x19088814;

// Uploads level 0 (pixels may be null: storage only; rows bottom first), sets linear filtering
// (trilinear with generated mipmaps when asked) and repeat wrapping. existingName 0 makes a
// new texture name.
Texture createTexture(int width, int height, std::uint32_t packedFormat, const void* pixels,
                      bool mipmaps, std::uint32_t existingName);

// Binds the framebuffer and, unless it is 0, attaches the texture level as colour attachment 0.
// The framebuffer stays bound.
void attachRenderTarget(std::uint32_t framebuffer, std::uint32_t texture, int level);

// Makes the target's framebuffer once and attaches the texture unless its name is 0. A target
// that already has a framebuffer is left untouched.
void makeRenderTarget(RenderTarget& target, std::uint32_t texture);

// A new renderbuffer of `internalFormat`, width x height; 0 when the driver lacks the entry points
// (they are not among those the show needs).
std::uint32_t makeRenderbuffer(std::uint32_t internalFormat, int width, int height);

// A new framebuffer, left bound, with `renderbuffer` as colour attachment 0.
std::uint32_t makeRenderbufferTarget(std::uint32_t renderbuffer);

// Draws one rectangle over the whole viewport with the current program and waits for the GPU.
void drawFullScreenRect();

// The 2D texture bound on each of the first units of the current context. A program's first draw
// in another context of the same share group binds these too, so that the driver prepares the
// program for the very textures the drawing context samples.
inline constexpr int kRecordedTextureUnits = 8;
using TextureUnitBindings = std::array<std::uint32_t, kRecordedTextureUnits>;

// Reads the bindings; the active unit is left as it was.
TextureUnitBindings boundTextures();

// Binds each recorded texture on its unit; unit 0 is left active.
void bindTextures(const TextureUnitBindings& bindings);

#version 450
// Ordered dither of the off-screen picture to a small palette. The palette texture holds the
// colours in row 0, a 16 x 16 threshold matrix in the red channel of row 1, and in rows 128 to
// 255 a 32 x 32 x 32 colour cube listing the four palette entries nearest to each colour.
// resolution.x is the size in pixels of one dithered block.

uniform sampler2D image;   // unit 0: the picture
uniform sampler2D dither;  // unit 1: palette, thresholds, colour cube
uniform vec4 resolution;

out vec4 fragColor;

vec3 paletteColor(float index) {
    return texelFetch(dither, ivec2(int(index), 0), 0).rgb;
}

void main() {
    int blockSize = max(int(resolution.x), 1);
    ivec2 block = ivec2(gl_FragCoord.xy) / blockSize;
    ivec2 imageSize = textureSize(image, 0);
    vec2 center = (vec2(block * blockSize) + 0.5 * float(blockSize)) / vec2(max(imageSize, ivec2(1)));
    vec3 color = clamp(texture(image, center).rgb, 0.0, 1.0);

    ivec3 cube = ivec3(round(color * 31.0));
    int cell = (cube.r * 32 + cube.g) * 32 + cube.b;
    vec4 nearest = texelFetch(dither, ivec2(cell % 256, 128 + cell / 256), 0);
    vec3 first = paletteColor(nearest.x);
    vec3 second = paletteColor(nearest.y);

    // How far the colour lies from the nearest entry towards the second nearest, against the
    // threshold of this block's place in the matrix.
    vec3 span = second - first;
    float along = clamp(dot(color - first, span) / max(dot(span, span), 1e-6), 0.0, 1.0);
    ivec2 place = block % 16;
    float threshold = texelFetch(dither, ivec2(16 * place.y + place.x, 1), 0).r;
    fragColor = vec4(along > threshold ? second : first, 1.0);
}

#version 450
// Cross-fade of two pictures: unit 0 towards unit 1 by `amount`.

uniform sampler2D image;
uniform sampler2D overlay;
uniform float amount;

out vec4 fragColor;

void main() {
    vec2 uv = gl_FragCoord.xy / vec2(max(textureSize(image, 0), ivec2(1)));
    fragColor = mix(texture(image, uv), texture(overlay, uv), clamp(amount, 0.0, 1.0));
}

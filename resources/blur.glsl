#version 450
// One direction of a separable Gaussian blur (nine taps) of the picture on unit 0. `direction`
// is the step between taps in pixels: (1, 0) across, (0, 1) up.

uniform sampler2D image;
uniform vec2 direction;

out vec4 fragColor;

const float weights[5] = float[](0.2270270, 0.1945946, 0.1216216, 0.0540541, 0.0162162);

void main() {
    vec2 texel = 1.0 / vec2(max(textureSize(image, 0), ivec2(1)));
    vec2 uv = gl_FragCoord.xy * texel;
    vec2 step = direction * texel;
    vec4 sum = texture(image, uv) * weights[0];
    for (int i = 1; i < 5; ++i) {
        sum += texture(image, uv + float(i) * step) * weights[i];
        sum += texture(image, uv - float(i) * step) * weights[i];
    }
    fragColor = sum;
}

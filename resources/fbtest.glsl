#version 450
// Frame-buffer check: the picture on unit 0 with a fine grid and colour bars along the bottom,
// to see at a glance that a render target holds what was drawn into it.

uniform sampler2D image;
uniform vec4 resolution;  // target width and height

out vec4 fragColor;

void main() {
    vec2 size = max(resolution.xy, vec2(textureSize(image, 0)));
    vec2 uv = gl_FragCoord.xy / max(size, vec2(1.0));
    vec3 color = texture(image, uv).rgb;
    vec2 grid = step(vec2(31.0), mod(gl_FragCoord.xy, vec2(32.0)));
    color = mix(color, vec3(0.5), 0.5 * max(grid.x, grid.y));
    if (uv.y < 0.05) color = 0.5 + 0.5 * cos(6.2831853 * uv.x + vec3(0.0, 2.1, 4.2));
    fragColor = vec4(color, 1.0);
}

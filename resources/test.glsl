#version 450
// Scene program (stand-in): a glossy sphere over a checkered floor under an evening sky, seen by
// a camera that circles it while the sun moves. Every value arrives as the scene pass sends it.

layout(location = 0) uniform vec4 frame;  // screen width, screen height, focal factor, time in part
layout(location = 1) uniform sampler2D unit0;
layout(location = 2) uniform sampler2D unit1;
layout(location = 3) uniform sampler2D unit2;
uniform sampler2D scene_data;
uniform ivec4 scene_part;
uniform ivec4 meshes_info[32];
uniform ivec4 meshes_surface[32];
uniform mat4 meshes_tx[32];
uniform mat4 meshes_itx[32];
uniform mat4 camera;
uniform vec4 flash;  // fade colour and amount
uniform vec4 light_positions[4];
uniform vec4 light_colors[4];

out vec4 fragColor;

const vec3 sphereCenter = vec3(0.0, 1.0, 0.0);
const float sphereRadius = 1.0;
const float noHit = 1e9;

float hitSphere(vec3 origin, vec3 dir) {
    vec3 oc = origin - sphereCenter;
    float b = dot(oc, dir);
    float h = b * b - (dot(oc, oc) - sphereRadius * sphereRadius);
    if (h < 0.0) return noHit;
    float t = -b - sqrt(h);
    return t > 1e-3 ? t : noHit;
}

float hitFloor(vec3 origin, vec3 dir) {
    return dir.y < -1e-4 ? -origin.y / dir.y : noHit;
}

vec3 sunDirection(float time) {
    return normalize(vec3(cos(0.2 * time), 0.55 + 0.25 * sin(0.13 * time), sin(0.2 * time)));
}

vec3 sky(vec3 dir, vec3 sun) {
    vec3 horizon = vec3(0.98, 0.62, 0.42);
    vec3 zenith = vec3(0.10, 0.20, 0.46);
    vec3 color = mix(horizon, zenith, clamp(dir.y * 1.6 + 0.1, 0.0, 1.0));
    return color + vec3(1.0, 0.8, 0.5) * pow(max(dot(dir, sun), 0.0), 180.0);
}

vec3 floorColor(vec3 p, vec3 sun, float time) {
    vec2 cell = floor(p.xz + vec2(0.0, 0.3 * time));
    float checker = mod(cell.x + cell.y, 2.0);
    vec3 albedo = mix(vec3(0.16, 0.14, 0.20), vec3(0.85, 0.80, 0.72), checker);
    float lit = hitSphere(p, sun) < noHit ? 0.25 : 1.0;
    float fog = exp(-0.04 * dot(p.xz, p.xz));
    vec3 color = albedo * (0.25 + 0.75 * lit * max(sun.y, 0.0));
    return mix(sky(normalize(vec3(p.x, 0.0, p.z)), sun), color, fog);
}

vec3 sphereColor(vec3 p, vec3 dir, vec3 sun, float time) {
    vec3 normal = normalize(p - sphereCenter);
    vec3 albedo = 0.55 + 0.45 * cos(vec3(0.0, 2.1, 4.2) + 0.4 * time + normal.y * 2.0);
    float diffuse = max(dot(normal, sun), 0.0);
    vec3 reflected = reflect(dir, normal);
    float floorT = hitFloor(p, reflected);
    vec3 mirror = floorT < noHit ? floorColor(p + floorT * reflected, sun, time) : sky(reflected, sun);
    float fresnel = 0.15 + 0.85 * pow(1.0 - max(dot(-dir, normal), 0.0), 4.0);
    return mix(albedo * (0.15 + 0.85 * diffuse), mirror, fresnel);
}

void main() {
    vec2 size = max(frame.xy, vec2(1.0));
    float focal = frame.z > 0.0 ? frame.z : 1.7;
    float time = frame.w;
    vec2 uv = (2.0 * gl_FragCoord.xy - size) / size.y;

    float angle = 0.3 * time;
    vec3 eye = vec3(4.5 * sin(angle), 1.5 + 0.5 * sin(0.45 * time), 4.5 * cos(angle));
    vec3 forward = normalize(sphereCenter - eye);
    vec3 right = normalize(cross(forward, vec3(0.0, 1.0, 0.0)));
    vec3 up = cross(right, forward);
    vec3 dir = normalize(uv.x * right + uv.y * up + focal * forward);

    vec3 sun = sunDirection(time);
    float sphereT = hitSphere(eye, dir);
    float floorT = hitFloor(eye, dir);
    vec3 color;
    if (sphereT < floorT) {
        color = sphereColor(eye + sphereT * dir, dir, sun, time);
    } else if (floorT < noHit) {
        color = floorColor(eye + floorT * dir, sun, time);
    } else {
        color = sky(dir, sun);
    }
    color = mix(color, flash.rgb, clamp(flash.a, 0.0, 1.0));
    fragColor = vec4(color, 1.0);
}

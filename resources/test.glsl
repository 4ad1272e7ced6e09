#version 450
// Scene program: ray traces the packed scene. Every mesh of the current part is intersected through
// its own bounding-volume hierarchy in mesh coordinates (the ray is carried there by the mesh's
// inverse transform). A hit is shaded with its face's surface records: albedo and roughness,
// emission and mirror share; the part's point lights cast shadows, and mirror faces get one
// reflected ray. Rays that leave the scene see the sky.

layout(location = 0) uniform vec4 frame;  // screen width, screen height, focal factor, time in part
layout(location = 1) uniform sampler2D unit0;
layout(location = 2) uniform sampler2D unit1;
layout(location = 3) uniform sampler2D unit2;
uniform sampler2D scene_data;
uniform ivec4 scene_part;            // camera, first mesh, last mesh, duration bits
uniform ivec4 meshes_info[32];       // vertex texel, face texel, node texel, face count
uniform ivec4 meshes_surface[32];    // surface record 0 texel, surface record 1 texel
uniform mat4 meshes_tx[32];          // mesh to world
uniform mat4 meshes_itx[32];         // world to mesh
uniform mat4 camera;                 // columns: right, up, forward, position
uniform vec4 flash;                  // fade colour and amount
uniform vec4 light_positions[4];
uniform vec4 light_colors[4];        // intensity already multiplied in; w = 0 marks an empty slot

out vec4 fragColor;

const float noHit = 1e30;
const int stackSize = 64;
const int maxNodeVisits = 2048;
const int maxLeafFaces = 4096;
const int maxMeshes = 32;

vec4 fetchTexel(int index) {
    return texelFetch(scene_data, ivec2(index % 1024, index / 1024), 0);
}

// Entry distance of the ray into a box, or noHit when it misses it before tmax.
float boxEntry(vec3 origin, vec3 invDir, vec3 lo, vec3 hi, float tmax) {
    vec3 t0 = (lo - origin) * invDir;
    vec3 t1 = (hi - origin) * invDir;
    vec3 tn = min(t0, t1);
    vec3 tf = max(t0, t1);
    float enter = max(max(tn.x, tn.y), max(tn.z, 0.0));
    float leave = min(min(tf.x, tf.y), min(tf.z, tmax));
    return enter <= leave ? enter : noHit;
}

struct Hit {
    float t;
    int mesh;
    int face;   // face position inside the mesh
    vec2 bary;  // weights of vertices 1 and 2
};

// No hit yet: anything closer than tmax counts.
Hit missWithin(float tmax) {
    return Hit(tmax, -1, 0, vec2(0.0));
}

// Walks one mesh's hierarchy. With anyHit set, returns at the first face closer than best.t.
bool traceMesh(int mesh, vec3 worldOrigin, vec3 worldDir, bool anyHit, inout Hit best) {
    ivec4 info = meshes_info[mesh];
    if (info.w <= 0) return false;
    mat4 itx = meshes_itx[mesh];
    vec3 origin = (itx * vec4(worldOrigin, 1.0)).xyz;
    vec3 dir = (itx * vec4(worldDir, 0.0)).xyz;  // not normalised: distances stay world distances
    vec3 safeDir = mix(dir, vec3(1e-12), lessThan(abs(dir), vec3(1e-12)));
    vec3 invDir = 1.0 / safeDir;

    int vertexBase = info.x;
    int faceBase = info.y;
    int nodeBase = info.z;

    ivec3 stackNode[stackSize];  // node, first face, last face
    float stackEntry[stackSize];
    int top = 0;

    float rootEntry = boxEntry(origin, invDir, fetchTexel(nodeBase).xyz, fetchTexel(nodeBase + 1).xyz, best.t);
    if (rootEntry >= noHit) return false;
    stackNode[0] = ivec3(0, 0, info.w - 1);
    stackEntry[0] = rootEntry;
    top = 1;

    bool found = false;
    for (int visit = 0; visit < maxNodeVisits && top > 0; ++visit) {
        --top;
        if (stackEntry[top] > best.t) continue;
        ivec3 entry = stackNode[top];
        vec4 lo = fetchTexel(nodeBase + 2 * entry.x);
        int child = int(lo.w);
        if (child == 0) {
            int last = min(entry.z, entry.y + maxLeafFaces - 1);
            for (int f = entry.y; f <= last; ++f) {
                vec3 idx = fetchTexel(faceBase + f).xyz;
                vec3 v0 = fetchTexel(vertexBase + int(idx.x)).xyz;
                vec3 v1 = fetchTexel(vertexBase + int(idx.y)).xyz;
                vec3 v2 = fetchTexel(vertexBase + int(idx.z)).xyz;
                vec3 e1 = v1 - v0;
                vec3 e2 = v2 - v0;
                vec3 p = cross(dir, e2);
                float det = dot(e1, p);
                if (abs(det) < 1e-14) continue;
                float invDet = 1.0 / det;
                vec3 s = origin - v0;
                float u = dot(s, p) * invDet;
                if (u < 0.0 || u > 1.0) continue;
                vec3 q = cross(s, e1);
                float v = dot(dir, q) * invDet;
                if (v < 0.0 || u + v > 1.0) continue;
                float t = dot(e2, q) * invDet;
                if (t > 1e-4 && t < best.t) {
                    best.t = t;
                    best.mesh = mesh;
                    best.face = f;
                    best.bary = vec2(u, v);
                    found = true;
                    if (anyHit) return true;
                }
            }
            continue;
        }
        int split = int(fetchTexel(nodeBase + 2 * entry.x + 1).w);
        int a = child;
        int b = child + 1;
        float ta = boxEntry(origin, invDir, fetchTexel(nodeBase + 2 * a).xyz, fetchTexel(nodeBase + 2 * a + 1).xyz, best.t);
        float tb = boxEntry(origin, invDir, fetchTexel(nodeBase + 2 * b).xyz, fetchTexel(nodeBase + 2 * b + 1).xyz, best.t);
        ivec3 na = ivec3(a, entry.y, split - 1);
        ivec3 nb = ivec3(b, split, entry.z);
        // Push the farther child first so the nearer one is opened next.
        if (ta > tb) {
            ivec3 tmpNode = na; na = nb; nb = tmpNode;
            float tmpT = ta; ta = tb; tb = tmpT;
        }
        if (tb < noHit && top < stackSize) {
            stackNode[top] = nb;
            stackEntry[top] = tb;
            ++top;
        }
        if (ta < noHit && top < stackSize) {
            stackNode[top] = na;
            stackEntry[top] = ta;
            ++top;
        }
    }
    return found;
}

int firstMesh() { return clamp(scene_part.y, 0, maxMeshes - 1); }
int lastMesh() { return clamp(scene_part.z, -1, maxMeshes - 1); }

// Distance at which the ray enters a mesh's root box, or noHit.
float meshEntry(int mesh, vec3 worldOrigin, vec3 worldDir, float tmax) {
    ivec4 info = meshes_info[mesh];
    if (info.w <= 0) return noHit;
    mat4 itx = meshes_itx[mesh];
    vec3 origin = (itx * vec4(worldOrigin, 1.0)).xyz;
    vec3 dir = (itx * vec4(worldDir, 0.0)).xyz;
    vec3 safeDir = mix(dir, vec3(1e-12), lessThan(abs(dir), vec3(1e-12)));
    return boxEntry(origin, 1.0 / safeDir, fetchTexel(info.z).xyz, fetchTexel(info.z + 1).xyz, tmax);
}

// Closest hit: the meshes are opened nearest root box first, so farther ones are culled early.
Hit traceScene(vec3 origin, vec3 dir, float tmax) {
    Hit best = missWithin(tmax);
    int first = firstMesh();
    int last = lastMesh();
    float entries[maxMeshes];
    int pending = 0;
    for (int m = first; m <= last; ++m) {
        float e = meshEntry(m, origin, dir, tmax);
        entries[m] = e;
        if (e < noHit) ++pending;
    }
    for (int round = 0; round < pending; ++round) {
        int nearest = -1;
        float nearestT = noHit;
        for (int m = first; m <= last; ++m) {
            if (entries[m] < nearestT) {
                nearestT = entries[m];
                nearest = m;
            }
        }
        if (nearest < 0 || nearestT > best.t) break;
        entries[nearest] = noHit;
        traceMesh(nearest, origin, dir, false, best);
    }
    return best;
}

bool occluded(vec3 origin, vec3 dir, float tmax) {
    Hit best = missWithin(tmax);
    int last = lastMesh();
    for (int m = firstMesh(); m <= last; ++m) {
        if (traceMesh(m, origin, dir, true, best)) return true;
    }
    return false;
}

// Gradient sky with slow drifting cloud bands (they move with the time in the part).
vec3 sky(vec3 dir) {
    vec3 horizon = vec3(0.55, 0.60, 0.70);
    vec3 zenith = vec3(0.12, 0.20, 0.40);
    vec3 ground = vec3(0.10, 0.09, 0.10);
    if (dir.y < 0.0) return mix(horizon * 0.5, ground, clamp(-dir.y * 3.0, 0.0, 1.0));
    vec3 color = mix(horizon, zenith, clamp(dir.y * 1.5, 0.0, 1.0));
    vec2 p = dir.xz / (dir.y + 0.15) + vec2(0.05, 0.02) * frame.w;
    float cloud = sin(p.x * 1.7 + sin(p.y * 1.3)) * sin(p.y * 2.1 + sin(p.x * 0.9 + 0.3 * frame.w));
    cloud = smoothstep(0.2, 0.9, cloud) * smoothstep(0.0, 0.25, dir.y);
    return mix(color, vec3(0.85, 0.86, 0.90), 0.35 * cloud);
}

struct Surface {
    vec3 position;
    vec3 normal;
    vec3 albedo;
    float roughness;
    vec3 emitted;
    float reflectivity;
    float ambient;
};

Surface surfaceAt(Hit hit, vec3 origin, vec3 dir) {
    ivec4 info = meshes_info[hit.mesh];
    ivec4 surf = meshes_surface[hit.mesh];
    vec3 idx = fetchTexel(info.y + hit.face).xyz;
    vec4 v0 = fetchTexel(info.x + int(idx.x));
    vec4 v1 = fetchTexel(info.x + int(idx.y));
    vec4 v2 = fetchTexel(info.x + int(idx.z));
    vec3 meshNormal = cross(v1.xyz - v0.xyz, v2.xyz - v0.xyz);
    vec3 n = normalize(transpose(mat3(meshes_itx[hit.mesh])) * meshNormal);
    if (dot(n, dir) > 0.0) n = -n;  // seen from behind: light the side that faces the ray
    vec4 s0 = fetchTexel(surf.x + hit.face);
    vec4 s1 = fetchTexel(surf.y + hit.face);
    Surface s;
    s.position = origin + hit.t * dir;
    s.normal = n;
    s.albedo = clamp(s0.rgb, 0.0, 1.0);
    s.roughness = clamp(s0.a, 0.0, 1.0);
    s.emitted = max(s1.rgb, vec3(0.0));
    s.reflectivity = clamp(s1.a, 0.0, 1.0);
    float w = 1.0 - hit.bary.x - hit.bary.y;
    s.ambient = clamp(w * v0.w + hit.bary.x * v1.w + hit.bary.y * v2.w, 0.0, 1.0);
    return s;
}

// Direct light on a surface: ambient, then every occupied light slot (shadowed when asked).
vec3 shade(Surface s, vec3 viewDir, bool shadows) {
    vec3 color = s.albedo * s.ambient * vec3(0.22, 0.24, 0.30);
    float shininess = mix(200.0, 6.0, s.roughness);
    float specular = (1.0 - s.roughness) * 0.6;
    vec3 offsetOrigin = s.position + s.normal * (1e-3 * (1.0 + length(s.position) * 0.01));
    for (int i = 0; i < 4; ++i) {
        if (light_colors[i].w == 0.0) continue;
        vec3 toLight = light_positions[i].xyz - s.position;
        float d2 = max(dot(toLight, toLight), 1e-6);
        float d = sqrt(d2);
        vec3 l = toLight / d;
        float ndl = dot(s.normal, l);
        if (ndl <= 0.0) continue;
        // A light carried next to the eye hides its shadows behind their casters: no shadow ray.
        bool nearEye = distance(light_positions[i].xyz, camera[3].xyz) < 1.0;
        if (shadows && !nearEye && occluded(offsetOrigin, l, d - 2e-3)) continue;
        vec3 radiance = light_colors[i].rgb / d2;
        vec3 h = normalize(l - viewDir);
        float highlight = specular * pow(max(dot(s.normal, h), 0.0), shininess);
        color += radiance * (s.albedo * ndl + vec3(highlight) * ndl);
    }
    return color + s.emitted;
}

void main() {
    vec2 size = max(frame.xy, vec2(1.0));
    float focal = frame.z > 0.0 ? frame.z : 1.7;
    vec2 uv = (2.0 * gl_FragCoord.xy - size) / size.y;

    vec3 right = camera[0].xyz;
    vec3 up = camera[1].xyz;
    vec3 forward = camera[2].xyz;
    vec3 eye = camera[3].xyz;
    if (dot(forward, forward) == 0.0) {
        // A camera without a direction: look down +z with y up rather than along a zero ray.
        right = vec3(1.0, 0.0, 0.0);
        up = vec3(0.0, 1.0, 0.0);
        forward = vec3(0.0, 0.0, 1.0);
    }
    vec3 dir = normalize(uv.x * right + uv.y * up + focal * forward);

    vec3 color;
    Hit hit = traceScene(eye, dir, noHit);
    if (hit.mesh < 0) {
        color = sky(dir);
    } else {
        Surface s = surfaceAt(hit, eye, dir);
        color = shade(s, dir, true);
        if (s.reflectivity > 0.0) {
            vec3 rdir = reflect(dir, s.normal);
            vec3 rorigin = s.position + s.normal * (1e-3 * (1.0 + length(s.position) * 0.01));
            Hit rhit = traceScene(rorigin, rdir, noHit);
            vec3 mirror;
            if (rhit.mesh < 0) {
                mirror = sky(rdir);
            } else {
                Surface rs = surfaceAt(rhit, rorigin, rdir);
                mirror = shade(rs, rdir, false);
            }
            float fresnel = s.reflectivity + (1.0 - s.reflectivity) * 0.25 * pow(1.0 - max(dot(-dir, s.normal), 0.0), 5.0);
            color = mix(color, mirror * mix(vec3(1.0), s.albedo, 0.3), clamp(fresnel, 0.0, 1.0));
        }
        // Distance haze toward the sky colour keeps far geometry calm.
        float haze = 1.0 - exp(-max(hit.t - 30.0, 0.0) * 0.01);
        color = mix(color, sky(dir), haze);
    }

    // Soft shoulder above 1, then display gamma.
    color = max(color, vec3(0.0));
    color = mix(color, 1.0 - exp(-color), smoothstep(0.6, 2.5, color));
    color = pow(color, vec3(1.0 / 2.2));
    color = mix(color, flash.rgb, clamp(flash.a, 0.0, 1.0));
    fragColor = vec4(color, 1.0);
}

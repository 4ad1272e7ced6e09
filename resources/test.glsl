#version 450
// Scene program: ray traces the packed scene. Every mesh of the current part is intersected through
// its trace tree, a compact hierarchy the loader builds and lays after the meshes' blocks, in mesh
// coordinates (the ray is carried there by the mesh's inverse transform); each mesh's world-space
// box, which the scene pass works out every frame, says which meshes a ray can meet at all. A hit
// is shaded with its face's surface records: albedo and roughness, emission and mirror share; the
// part's point lights cast shadows, and mirror faces get one reflected ray. Rays that leave the
// scene see the sky. Checkered floors are drawn here rather than built of tiles: each of their faces
// carries the pattern, and a pixel takes the mean of the pattern over its footprint, so that tile
// borders cost no extra samples.
//
// Where the time goes, and what keeps it down. The rasteriser shades a group of neighbouring pixels
// in one go: it runs both sides of every branch for the whole group, and every pass of a loop that
// any pixel of the group still needs, and at least one. So work is only saved where a loop runs
// fewer passes, and code that exists once is paid once per pass.
// - the walk exists once: every ray of a pixel (eye rays, shadow rays, mirror rays, and those of
//   its extra edge samples) goes through the one traceScene in traceRays, and each sample takes two
//   passes of one loop in main: its eye ray, then all the rays leaving the surface it met, one
//   after the other, so the surface, shading and colour are paid once a sample, not once a ray;
//   neighbouring pixels doing different kinds of ray still step together;
// - a ray opens only the meshes whose world-space boxes it enters, nearest first, so a mesh behind
//   a hit found already is never opened, and a shadow ray skips the meshes off its segment;
// - inside a mesh the nearer child is opened first and the farther one waits on a stack with its
//   entry distance, so it is dropped when a closer hit has been found meanwhile; every step of the
//   walk reads three texels for one pair of child boxes or one face (see traceMesh);
// - a store into a local array is made by every pixel still in its loop, not by some (see traceMesh);
// - shadow rays stop at the first face that blocks the light; a light that is behind a surface or
//   too weak there to show is not traced at all;
// - a pixel that a fade covers completely does no tracing.
//
// Contents, in order:
// - Rays and boxes: fetchTexel (the scene texture), the meshes' image, slabEntry and boxEntry.
// - One mesh's hierarchy: intersectTriangle, the walk's stack words, traceMesh (the trace tree walk).
// - The part's meshes: traceScene (the one walk over the part's meshes, nearest box first) and
//   traceRays (a pass's rays: eye, shadow, mirror).
// - Shading: sky, the vertex extra's normals, checkers averaged over a pixel (checkerShare),
//   surfaceAt (a hit's surface), shade (lights and shadows).
// - The picture: the display curve (displayed), anti-aliasing where a 2 x 2 block shows an edge
//   (blockMax, sameInBlock; samplePoint for the extra samples), eyeRayAt, mirrorRayOff, and main,
//   which runs each sample's two passes and mixes the samples.

layout(location = 0) uniform vec4 frame;  // screen width, screen height, focal factor, time in part
layout(location = 1) uniform sampler2D unit0;
layout(location = 2) uniform sampler2D unit1;
layout(location = 3) uniform sampler2D unit2;
layout(rgba32f) readonly uniform image2D scene_image;  // the scene texture, read as an image
// Row m: mesh m's world-to-mesh matrix as three rows (x, y, z, translation), then its world-space
// box's lowest and highest corners, then its places (vertex texel, face texel, its trace tree's
// first face entry texel and root node) and surface values (surface record 0 texel, surface record
// 1 texel) as floats. The same as the uniforms meshes_itx, meshes_low, meshes_high, meshes_info and
// meshes_surface, which this program does not read: the rasteriser reads a texel, four numbers,
// for little more than it pays to gather one uniform number.
layout(rgba32f) readonly uniform image2D meshes_image;
uniform ivec4 scene_part;            // camera, first mesh, last mesh, duration bits
uniform mat4 camera;                 // columns: right, up, forward, position
uniform vec4 flash;                  // fade colour and amount
uniform vec4 light_positions[4];
uniform vec4 light_colors[4];        // intensity already multiplied in; w = 0 marks an empty slot

out vec4 fragColor;

const float noHit = 1e30;
const int maxMeshes = 32;       // the most meshes a scene holds (kMaxSceneMeshes)
const int sideBits = 10;        // the scene texture is 1 << sideBits texels wide (kSceneTextureSide)
const int stackSize = 40;        // a trace tree is at most 40 levels deep: one waiting child per level
const int maxSteps = 0x180000;   // steps no walk of a tree reaches (kTraceTreeStepLimit), a guard
const float invisibleLight = 1.0 / 4096.0;  // a light adding less than this cannot be seen
const float faintMirror = 0.3;   // a mirror share up to which one reflection serves a whole pixel

// Texel `index` of the 1024-wide scene texture (as tall as the meshes and their trees need).
// Indices are never negative, so a mask and a shift give the column and row without an integer
// division in every lane. An image load, which reads one level, costs the rasteriser about half
// what a texel fetch does: that works out a mip level for every pixel.
vec4 fetchTexel(int index) {
    return imageLoad(scene_image, ivec2(index & ((1 << sideBits) - 1), index >> sideBits));
}

// ---------------------------------------------------------------------------------------------
// Rays and boxes

// A ray with what every box test needs worked out once.
struct Ray {
    vec3 origin;
    vec3 dir;          // not normalised in mesh space: distances stay world distances
    vec3 invDir;
};

Ray makeRay(vec3 origin, vec3 dir) {
    vec3 safeDir = mix(dir, vec3(1e-12), lessThan(abs(dir), vec3(1e-12)));
    vec3 invDir = 1.0 / safeDir;
    return Ray(origin, dir, invDir);
}

const int lowTexel = 3;   // where a row of meshes_image holds the box's corners,
const int highTexel = 4;
const int infoTexel = 5;  // the mesh's places: vertices, faces, trace tree, tree root
const int surfaceTexel = 6;  // and its surface values

ivec4 meshInfo(int mesh) { return ivec4(imageLoad(meshes_image, ivec2(infoTexel, mesh))); }

ivec4 meshSurface(int mesh) { return ivec4(imageLoad(meshes_image, ivec2(surfaceTexel, mesh))); }

// Row r of mesh m's world-to-mesh matrix.
vec4 toMeshRow(int mesh, int r) { return imageLoad(meshes_image, ivec2(r, mesh)); }

// The rows' first three columns as columns: the matrix that carries a mesh's normals to the world.
mat3 toWorldNormalOf(int mesh) { return mat3(toMeshRow(mesh, 0).xyz, toMeshRow(mesh, 1).xyz, toMeshRow(mesh, 2).xyz); }

// The world ray in a mesh's own coordinates.
Ray meshRay(int mesh, vec3 worldOrigin, vec3 worldDir) {
    vec4 x = toMeshRow(mesh, 0);
    vec4 y = toMeshRow(mesh, 1);
    vec4 z = toMeshRow(mesh, 2);
    vec3 origin = vec3(dot(x.xyz, worldOrigin), dot(y.xyz, worldOrigin), dot(z.xyz, worldOrigin)) + vec3(x.w, y.w, z.w);
    return makeRay(origin, vec3(dot(x.xyz, worldDir), dot(y.xyz, worldDir), dot(z.xyz, worldDir)));
}

// Entry distance into a box whose planes the ray meets at distances t0 and t1 on each axis, or
// noHit when it misses the box before tmax. Worked on the distances' bits: for floats of 0 and up
// they order like whole numbers, and the rasteriser's whole-number minimum is one instruction
// where its float minimum is three (it guards against NaN, which these never are). Distances
// behind the origin are first raised to 0, so a box wholly behind it leaves at 0 and is refused.
float slabEntry(vec3 t0, vec3 t1, float tmax) {
    ivec3 a = max(floatBitsToInt(t0), 0);
    ivec3 b = max(floatBitsToInt(t1), 0);
    ivec3 tn = min(a, b);
    ivec3 tf = max(a, b);
    int enter = max(max(tn.x, tn.y), tn.z);
    int leave = min(min(tf.x, tf.y), min(tf.z, floatBitsToInt(tmax)));
    return enter <= leave && leave > 0 ? intBitsToFloat(enter) : noHit;
}

// Entry distance of the ray into a box, or noHit when it misses it before tmax.
float boxEntry(Ray ray, vec3 lo, vec3 hi, float tmax) {
    return slabEntry((lo - ray.origin) * ray.invDir, (hi - ray.origin) * ray.invDir, tmax);
}

// ---------------------------------------------------------------------------------------------
// One mesh's hierarchy

struct Hit {
    float t;
    int mesh;
    int face;   // face position inside the mesh
};

// No hit yet: anything closer than tmax counts.
Hit missWithin(float tmax) {
    return Hit(tmax, -1, 0);
}

// Whether the ray hits the triangle v0, v0 + e1, v0 + e2 closer than tmax, and where (t and bary
// mean something only then). A face seen edge-on is refused in the last test rather than by an
// early return, which costs as much here: the rasteriser would run the rest anyway.
bool intersectTriangle(Ray ray, vec3 v0, vec3 e1, vec3 e2, float tmax, out float t, out vec2 bary) {
    vec3 p = cross(ray.dir, e2);
    float det = dot(e1, p);
    float invDet = 1.0 / det;
    vec3 s = ray.origin - v0;
    float u = dot(s, p) * invDet;
    vec3 q = cross(s, e1);
    float v = dot(ray.dir, q) * invDet;
    t = dot(e2, q) * invDet;
    bary = vec2(u, v);
    return abs(det) >= 1e-14 && u >= 0.0 && v >= 0.0 && u + v <= 1.0 && t > 1e-4 && t < tmax;
}

// A child waiting on a walk's stack, in one whole number: the top 12 bits of its entry distance
// above 20 bits holding its node word (see traceMesh), biased to be positive. A float's
// bits order like the float for distances of 0 and up, so the distance kept is never more than the
// real one and a child is only dropped when it truly lies behind a hit. One number per entry
// halves the stack's traffic, which the rasteriser moves lane by lane.
const int wordBits = 0xFFFFF;
const int wordBias = 0x80000;

int packWaiting(float entry, int node) { return (floatBitsToInt(entry) & ~wordBits) | (node + wordBias); }

float waitingEntry(int waiting) { return intBitsToFloat(waiting & ~wordBits); }

int waitingNode(int waiting) { return (waiting & wordBits) - wordBias; }

// A child as a pair's texel stores it, (pair, leaf word), as one node word (see traceMesh).
int nodeWord(vec2 stored) { return stored.x != 0.0 ? int(stored.x) : -int(stored.y); }

// Walks a mesh through its trace tree (scene/trace_tree.h): pairs, then face entries. A node is
// named by one word: a pair p > 0 holds its two children and begins 3p texels before the face
// entries; a leaf is -(its first face entry + 1), and its entries run up to the one marked last.
//
// Every step reads three texels and does one piece of work with them: a pair (its two child boxes,
// stored as 8-bit steps from the pair's origin, and the children's words), or one face entry (its
// first corner with the face's position, and its two edges with the leaf's end mark). Neighbouring
// pixels, which the rasteriser shades together in one go, so keep in step however their walks
// differ, and none of them pays for a kind of work it does not need. A step ends by taking the next
// waiting child when it leaves nothing else to do, so the step that finds the stack empty is the
// walk's last.
bool traceMesh(int mesh, Ray ray, bool anyHit, inout Hit best) {
    ivec4 info = meshInfo(mesh);
    int entryBase = info.z;
    int waiting[stackSize + 1];  // see packWaiting; the last entry takes the stores of a full stack
    int top = 0;

    // The node to open next: a pair above 0, a leaf below 0, 0 for none.
    int node = info.w;
    int face = -1;  // the face entry to test next in the current leaf, -1 for none
    for (int step = 0; step < maxSteps; ++step) {
        if (face < 0 && node < 0) {
            face = -node - 1;
            node = 0;
        }
        bool onFace = face >= 0;
        int pair = entryBase - 3 * max(node, 0);
        int entry = entryBase + 3 * face;
        ivec3 address = onFace ? ivec3(entry, entry + 1, entry + 2) : ivec3(pair, pair + 1, pair + 2);
        vec4 t0 = fetchTexel(address.x);
        vec4 t1 = fetchTexel(address.y);
        vec4 t2 = fetchTexel(address.z);
        int waits = 0;  // the child to wait, if any
        bool pushes = false;
        if (onFace) {
            float t;
            vec2 bary;
            if (intersectTriangle(ray, t0.xyz, t1.xyz, t2.xyz, best.t, t, bary)) {
                best = Hit(t, mesh, int(t0.w));
                if (anyHit) return true;
            }
            face = t1.w != 0.0 ? -1 : face + 1;
        } else if (node > 0) {
            // The two boxes' planes, origin + steps * 2^(e - 127) on each axis, as distances along the ray.
            int exponents = int(t0.w);
            vec3 stepSize = vec3(intBitsToFloat((exponents & 255) << 23), intBitsToFloat(((exponents >> 8) & 255) << 23),
                                 intBitsToFloat((exponents >> 16) << 23));
            vec3 start = (t0.xyz - ray.origin) * ray.invDir;
            vec3 stride = stepSize * ray.invDir;
            ivec4 corners = ivec4(t1);  // a's minimum and maximum, then b's
            vec4 x = start.x + vec4(corners & 255) * stride.x;
            vec4 y = start.y + vec4((corners >> 8) & 255) * stride.y;
            vec4 z = start.z + vec4(corners >> 16) * stride.z;
            float ta = slabEntry(vec3(x.x, y.x, z.x), vec3(x.y, y.y, z.y), best.t);
            float tb = slabEntry(vec3(x.z, y.z, z.z), vec3(x.w, y.w, z.w), best.t);
            int a = nodeWord(t2.xy);
            int b = nodeWord(t2.zw);
            if (tb < ta) {
                int swapNode = a; a = b; b = swapNode;
                float swapT = ta; ta = tb; tb = swapT;
            }
            if (ta >= noHit) {
                node = 0;
            } else {
                // Open the nearer child next; the farther one waits.
                pushes = tb < noHit && top < stackSize;
                waits = packWaiting(tb, b);
                node = a;
            }
        }
        // Every step stores at the stack's top, whether it pushes or not (a step that does not
        // writes into the free slot above it). The rasteriser stores into an array pixel by pixel,
        // with a branch that skips each pixel not storing; made in some steps by some pixels,
        // those branches go unforeseen by the processor, and this walk took a sixth longer.
        waiting[min(top, stackSize)] = waits;
        if (pushes) ++top;
        if (face < 0 && node == 0) {
            // Next: the most recently deferred child, unless a closer hit has been found since.
            if (top == 0) break;
            --top;
            int waited = waiting[top];
            if (waitingEntry(waited) < best.t) node = waitingNode(waited);
        }
    }
    return best.mesh == mesh;  // each mesh is opened once a ray, so a hit on it is this walk's
}

// ---------------------------------------------------------------------------------------------
// The part's meshes

// The part's first and last mesh and the frame vector, read once at the start of main: the
// rasteriser reads a uniform lane by lane wherever the program uses it (see readLights).
int firstMesh;
int lastMesh;
vec4 frameValues;

void readPart() {
    firstMesh = clamp(scene_part.y, 0, maxMeshes - 1);
    lastMesh = clamp(scene_part.z, -1, maxMeshes - 1);
    frameValues = frame;
}

// The entry distance of the ray into mesh m's world-space box before tmax, or noHit; the chosen
// mesh's moved (see traceScene).
float meshEntry(Ray world, int m, float tmax, bool anyHit, int chosen) {
    float entry = boxEntry(world, imageLoad(meshes_image, ivec2(lowTexel, m)).xyz, imageLoad(meshes_image, ivec2(highTexel, m)).xyz, tmax);
    if (m == chosen && entry < noHit) entry = anyHit ? max(entry, tmax * 0.999) : -1.0;
    return entry;
}

// The one walk of the program. The closest hit on the ray before tmax, or with anyHit the first
// hit found (for shadow rays). The meshes whose world-space boxes the ray enters before tmax are
// opened nearest entry first, so a mesh behind a hit found already is never opened. A chosen mesh
// (or -1) whose box the ray enters is opened out of turn: first for a closest hit (the mesh the
// pixel's block hit, for the extra samples of its pixels), last for any hit (the mesh a shadow ray
// leaves, which seldom shadows itself: another mesh that blocks the light spares its walk).
Hit traceScene(vec3 origin, vec3 dir, float tmax, bool anyHit, int chosen) {
    Hit best = missWithin(tmax);
    int first = firstMesh;
    int last = lastMesh;
    Ray world = makeRay(origin, dir);
    // The meshes still to be opened are kept as bits, and each choice of the next works out the
    // entry distances of those again: the first tests every box of the part and drops the meshes
    // the ray misses, so the later ones look only at boxes it enters. Keeping the distances in an
    // array would cost a store per box, pixel by pixel with a branch each (see traceMesh), and a
    // ray enters few of the boxes it tests.
    int pending = last >= first ? (2 << last) - (1 << first) : 0;  // bit m: mesh m may be opened
    while (true) {
        int nearest = -1;
        float nearestT = best.t;
        for (int rest = pending; rest != 0; rest &= rest - 1) {
            int m = findLSB(rest);
            float entry = meshEntry(world, m, tmax, anyHit, chosen);
            if (entry >= noHit) pending &= ~(1 << m);
            if (entry < nearestT) {
                nearestT = entry;
                nearest = m;
            }
        }
        if (nearest < 0) break;
        pending &= ~(1 << nearest);
        if (traceMesh(nearest, meshRay(nearest, origin, dir), anyHit, best) && anyHit) break;
    }
    return best;
}

// The part's lights, read from their uniforms once in main: the rasteriser reads a uniform lane by
// lane wherever the program uses it, which in the light loops would be every pass of every loop.
// Only ever indexed by constants, so they stay in registers; lightPosition and lightColor choose a
// slot among them.
vec3 lightPositions[4];
vec3 lightColors[4];
int lightSlotCount;    // the slots up to the last occupied one: an empty slot after it would cost a pass
int lightsOccupied;    // bit i: slot i holds a light
int lightsCasting;     // bit i: slot i holds a light that may cast shadows the eye can see

// A light carried next to the eye hides its shadows behind their casters, so it casts none.
void readLights(vec3 eye) {
    lightSlotCount = 0;
    lightsOccupied = 0;
    lightsCasting = 0;
    for (int i = 0; i < 4; ++i) {
        lightPositions[i] = light_positions[i].xyz;
        lightColors[i] = light_colors[i].rgb;
        if (light_colors[i].w != 0.0) {
            lightSlotCount = i + 1;
            lightsOccupied |= 1 << i;
            if (distance(lightPositions[i], eye) >= 1.0) lightsCasting |= 1 << i;
        }
    }
}

vec3 lightPosition(int i) {
    return i < 2 ? (i == 0 ? lightPositions[0] : lightPositions[1]) : (i == 2 ? lightPositions[2] : lightPositions[3]);
}

vec3 lightColor(int i) {
    return i < 2 ? (i == 0 ? lightColors[0] : lightColors[1]) : (i == 2 ? lightColors[2] : lightColors[3]);
}

// The rays of one pass of main's loop, one after the other through the one walk, all from origin:
// a shadow ray towards each light slot whose bit is set in lights (origin lies on mesh fromMesh),
// then the ray along dir for its nearest hit before tmax (none when tmax is negative), likely (or
// -1) the mesh it probably hits. The lights found blocked come back in blocked.
Hit traceRays(vec3 origin, int fromMesh, int lights, vec3 dir, float tmax, int likely, out int blocked) {
    blocked = 0;
    Hit nearest = missWithin(tmax);
    while (lights != 0 || tmax >= 0.0) {
        bool shadow = lights != 0;
        int light = max(findLSB(lights), 0);
        vec3 toLight = lightPosition(light) - origin;
        float d = max(length(toLight), 1e-3);
        Hit hit = traceScene(origin, shadow ? toLight / d : dir, shadow ? d - 2e-3 : tmax, shadow, shadow ? fromMesh : likely);
        if (shadow) {
            if (hit.mesh >= 0) blocked |= 1 << light;
            lights &= lights - 1;
        } else {
            nearest = hit;
            tmax = -1.0;
        }
    }
    return nearest;
}

// ---------------------------------------------------------------------------------------------
// Shading

// Gradient sky with slow drifting cloud bands (they move with the time in the part).
vec3 sky(vec3 dir) {
    vec3 horizon = vec3(0.55, 0.60, 0.70);
    vec3 zenith = vec3(0.12, 0.20, 0.40);
    vec3 ground = vec3(0.10, 0.09, 0.10);
    if (dir.y < 0.0) return mix(horizon * 0.5, ground, clamp(-dir.y * 3.0, 0.0, 1.0));
    vec3 color = mix(horizon, zenith, clamp(dir.y * 1.5, 0.0, 1.0));
    vec2 p = dir.xz / (dir.y + 0.15) + vec2(0.05, 0.02) * frameValues.w;
    float cloud = sin(p.x * 1.7 + sin(p.y * 1.3)) * sin(p.y * 2.1 + sin(p.x * 0.9 + 0.3 * frameValues.w));
    cloud = smoothstep(0.2, 0.9, cloud) * smoothstep(0.0, 0.25, dir.y);
    return mix(color, vec3(0.85, 0.86, 0.90), 0.35 * cloud);
}

struct Surface {
    vec3 position;
    vec3 normal;     // shading normal, on the side the ray came from
    vec3 geometric;  // the face's own normal, on the same side
    vec3 rayOrigin;  // where rays leaving the surface start (see surfaceAt)
    vec3 albedo;
    vec3 otherAlbedo;   // a checker's second material (see checkerShare); otherwise the albedo
    float otherShare;   // the share of the pixel it covers
    vec3 sideX;         // the pixel's sides on the face (see PixelSides)
    vec3 sideY;
    vec3 turnX;         // how a mirror's shading normal turns along them
    vec3 turnY;
    float roughness;
    vec3 emitted;
    float reflectivity;
    float ambient;
};

// The vertex extra value, a whole number below 2^24 (content/vertex_extra.h): bits 0 to 9 and 10
// to 19 the vertex's shading normal in octahedral coordinates (1023 in the first: none, the face
// is flat), bits 20 to 23 the ambient level.
const int octSteps = 1022;      // kOctSteps
const int noNormal = 1023;      // kNoNormal
const int secondCodeShift = 10; // kSecondCodeShift
const int ambientShift = 20;    // kAmbientShift
const int ambientLevels = 15;   // kAmbientLevels

vec3 extraNormal(float extra) {
    int bits = int(extra);
    int codeMask = (1 << secondCodeShift) - 1;
    int u = bits & codeMask;
    if (u == noNormal) return vec3(0.0);
    vec2 e = vec2(float(u), float((bits >> secondCodeShift) & codeMask)) * (2.0 / float(octSteps)) - 1.0;
    vec3 n = vec3(e, 1.0 - abs(e.x) - abs(e.y));
    if (n.z < 0.0) n.xy = (1.0 - abs(n.yx)) * mix(vec2(1.0), vec2(-1.0), lessThan(n.xy, vec2(0.0)));
    return normalize(n);
}

float extraAmbient(float extra) { return float(int(extra) >> ambientShift) / float(ambientLevels); }

// A checker pattern, from a face's records (content/surface_pattern.h): record 1's red is minus one
// minus the second material's albedo, each channel's square root in 8 bits; its green the cell
// size; its blue 0 for squares on the mesh's x and z axes, otherwise the sectors of rings about a
// centre in whole metres, sectors + 256 (x + 128) + 65536 (z + 128).
vec3 checkerSecondAlbedo(vec4 record1) {
    int code = int(-1.0 - record1.r);
    vec3 root = vec3(ivec3(code, code >> 8, code >> 16) & 255) / 255.0;
    return root * root;
}

// Share of a footprint past a cell border at distance d behind its middle. Along one of the
// pattern's axes the footprint (a parallelogram) spreads as a box of width a blurred by one of
// width b: its share past the border is a difference of squared ramps.
float shareBeyond(float d, float a, float b) {
    vec4 ends = max(d + vec4(a + b, a - b, b - a, -a - b) * 0.5, 0.0);
    return clamp(dot(ends * ends, vec4(1.0, -1.0, -1.0, 1.0)) / (2.0 * a * b), 0.0, 1.0);
}

// A second integral of the square wave below, u = fract(x / 2) - 0.5: it repeats every two cells.
float waveIntegral2(float x) {
    float u = fract(x * 0.5) - 0.5;
    return u - 2.0 * u * abs(u);
}

// The mean, over a footprint of widths a and b (in cells, see shareBeyond) around x, of a square
// wave that is 1 on even cells and -1 on odd ones.
float squareWave(float x, float a, float b) {
    float wide = max(max(a, b), 1e-6);
    float narrow = max(min(a, b), wide * 1e-3);  // keeps the differences below well above rounding
    if (wide + narrow < 1.0) {
        // Only the nearest border is within reach.
        float border = floor(x + 0.5);
        float after = 1.0 - 2.0 * (border - 2.0 * floor(border * 0.5));  // the wave just past it
        return after * (2.0 * shareBeyond(x - border, wide, narrow) - 1.0);
    }
    // Several borders: differences of the wave's second integral, taken near the origin.
    x -= 2.0 * floor(x * 0.5);
    vec2 h = vec2(wide + narrow, wide - narrow) * 0.5;
    return (waveIntegral2(x + h.x) - waveIntegral2(x + h.y) - waveIntegral2(x - h.y) + waveIntegral2(x - h.x)) / (wide * narrow);
}

// The share of a checker's second material over a pixel's footprint around mesh point p: the
// footprint is the parallelogram of its sides (mesh vectors along the face), and the pattern's
// mean over it is taken on each of the pattern's two axes. Far and slanting tiles so blend to
// their mean rather than shimmering.
float checkerShare(vec4 record1, vec3 p, vec3 sideX, vec3 sideY) {
    float cell = record1.g;
    int cellKind = int(record1.b);
    vec2 axis = vec2(1.0, 0.0);  // the pattern's first axis on the face; the second is across it
    vec2 cells;                  // p in cells along them
    vec2 cellsPerMetre = vec2(1.0 / cell);
    if (cellKind == 0) {
        cells = p.xz / cell;
    } else {
        // Rings about the centre, and sectors counted from +x towards -z.
        vec2 d = p.xz - (vec2(ivec2(cellKind >> 8, cellKind >> 16) & 255) - 128.0);
        float radius = max(length(d), 1e-4);
        axis = d / radius;
        float sectors = float(cellKind & 255);
        cells = vec2(radius / cell, atan(-d.y, d.x) * sectors / 6.2831853);
        cellsPerMetre.y = sectors / (6.2831853 * radius);
    }
    vec2 across = vec2(-axis.y, axis.x);
    vec2 spanX = abs(vec2(dot(axis, sideX.xz), dot(across, sideX.xz))) * cellsPerMetre;
    vec2 spanY = abs(vec2(dot(axis, sideY.xz), dot(across, sideY.xz))) * cellsPerMetre;
    return 0.5 - 0.5 * squareWave(cells.x, spanX.x, spanY.x) * squareWave(cells.y, spanX.y, spanY.y);
}

// A point a little way off the surface along the face's own normal, so that rays leaving it do
// not hit the same face again.
vec3 offSurface(vec3 p, vec3 geometric) { return p + geometric * (1e-3 * (1.0 + length(p) * 0.01)); }

// How much a pixel covers along a ray: how the ray's start and direction change from one pixel
// to the next, across and up the picture. Where the ray meets a face, they give the pixel's sides
// on it; a curved mirror spreads them as its normal turns. A checker is averaged over the whole
// pixel whichever sample hits it, so the sample's offset from the pixel's middle, in pixels, comes
// along.
struct PixelSides {
    vec3 startX;
    vec3 startY;
    vec3 dirX;
    vec3 dirY;
    vec2 toMiddle;
};

// With raysLeave false (a surface seen in a mirror), where rays would leave it is not worked out.
Surface surfaceAt(Hit hit, vec3 origin, vec3 dir, bool raysLeave, PixelSides pixel) {
    ivec4 info = meshInfo(hit.mesh);
    ivec4 surf = meshSurface(hit.mesh);
    vec3 idx = fetchTexel(info.y + hit.face).xyz;
    vec4 v0 = fetchTexel(info.x + int(idx.x));
    vec4 v1 = fetchTexel(info.x + int(idx.y));
    vec4 v2 = fetchTexel(info.x + int(idx.z));
    // The corners' weights where the ray meets the face, worked out again here rather than
    // carried through every step of the walk.
    float unusedT;
    vec2 bary;
    intersectTriangle(meshRay(hit.mesh, origin, dir), v0.xyz, v1.xyz - v0.xyz, v2.xyz - v0.xyz, noHit, unusedT, bary);
    vec3 w = vec3(1.0 - bary.x - bary.y, bary);
    mat3 toWorldNormal = toWorldNormalOf(hit.mesh);
    mat3 toMesh = transpose(toWorldNormal);
    vec3 geometric = normalize(toWorldNormal * cross(v1.xyz - v0.xyz, v2.xyz - v0.xyz));
    vec3 n0 = extraNormal(v0.w);
    vec3 n1 = extraNormal(v1.w);
    vec3 n2 = extraNormal(v2.w);
    Surface s;
    s.position = origin + hit.t * dir;
    s.normal = geometric;
    vec3 leaving = s.position;
    bool curved = dot(n0, n0) * dot(n1, n1) * dot(n2, n2) > 0.0;
    bool front = dot(geometric, dir) < 0.0;
    if (curved) {
        s.normal = normalize(toWorldNormal * (w.x * n0 + w.y * n1 + w.z * n2));
        if (front && raysLeave) {
            // The flat face lies inside the curved surface it stands for: rays leaving it start
            // from the curved surface (each corner's tangent plane, blended), or a light that
            // already reaches the curve would be shadowed by the neighbouring faces.
            vec3 p = w.x * v0.xyz + w.y * v1.xyz + w.z * v2.xyz;
            vec3 below = vec3(min(dot(p - v0.xyz, n0), 0.0), min(dot(p - v1.xyz, n1), 0.0), min(dot(p - v2.xyz, n2), 0.0));
            // The step out to the curve is carried to the world by the inverse of the world-to-mesh
            // matrix at hand: cheaper than reading the mesh-to-world one lane by lane.
            vec3 outward = -(w.x * below.x * n0 + w.y * below.y * n1 + w.z * below.z * n2);
            leaving += inverse(transpose(toWorldNormal)) * outward;
        }
    }
    if (!front) {
        // Seen from behind: light the side that faces the ray.
        geometric = -geometric;
        s.normal = -s.normal;
    }
    // Near an outline the blended normal can turn away from the eye; keep it just facing it.
    float facing = dot(s.normal, dir);
    if (facing > -0.02) s.normal = normalize(s.normal - dir * (facing + 0.02));
    s.geometric = geometric;
    s.rayOrigin = offSurface(leaving, geometric);
    // The pixel's sides carried along the ray onto the face's plane.
    float along = min(dot(dir, geometric), -1e-3);  // geometric faces the ray
    s.sideX = pixel.startX + hit.t * pixel.dirX;
    s.sideY = pixel.startY + hit.t * pixel.dirY;
    s.sideX -= dir * (dot(s.sideX, geometric) / along);
    s.sideY -= dir * (dot(s.sideY, geometric) / along);
    vec4 s0 = fetchTexel(surf.x + hit.face);
    vec4 s1 = fetchTexel(surf.y + hit.face);
    s.albedo = clamp(s0.rgb, 0.0, 1.0);
    s.otherAlbedo = s.albedo;
    s.otherShare = 0.0;
    s.roughness = clamp(s0.a, 0.0, 1.0);
    s.emitted = max(s1.rgb, vec3(0.0));
    if (s1.r < 0.0) {
        // A checker: it emits nothing. Worked out in mesh coordinates, where its cells lie.
        vec3 p = w.x * v0.xyz + w.y * v1.xyz + w.z * v2.xyz + toMesh * (pixel.toMiddle.x * s.sideX + pixel.toMiddle.y * s.sideY);
        s.otherAlbedo = clamp(checkerSecondAlbedo(s1), 0.0, 1.0);
        s.otherShare = checkerShare(s1, p, toMesh * s.sideX, toMesh * s.sideY);
        s.emitted = vec3(0.0);
    }
    s.reflectivity = clamp(s1.a, 0.0, 1.0);
    s.turnX = vec3(0.0);
    s.turnY = vec3(0.0);
    if (curved && s.reflectivity > 0.0) {
        // The blended normal's change along the pixel's sides: their steps in the corners'
        // weights (solved on the face's two edges), applied to the corners' normals.
        vec3 e1 = v1.xyz - v0.xyz;
        vec3 e2 = v2.xyz - v0.xyz;
        vec3 g = vec3(dot(e1, e1), dot(e1, e2), dot(e2, e2));
        vec3 mx = toMesh * s.sideX;
        vec3 my = toMesh * s.sideY;
        mat2 toWeights = mat2(g.z, -g.y, -g.y, g.x) / max(g.x * g.z - g.y * g.y, 1e-20);
        vec2 wx = toWeights * vec2(dot(e1, mx), dot(e2, mx));
        vec2 wy = toWeights * vec2(dot(e1, my), dot(e2, my));
        vec3 blended = w.x * n0 + w.y * n1 + w.z * n2;
        float size = max(length(blended), 1e-6);
        vec3 unit = blended / size;
        vec3 dx = wx.x * (n1 - n0) + wx.y * (n2 - n0);
        vec3 dy = wy.x * (n1 - n0) + wy.y * (n2 - n0);
        float side = front ? 1.0 : -1.0;
        s.turnX = side * (toWorldNormal * ((dx - unit * dot(unit, dx)) / size));
        s.turnY = side * (toWorldNormal * ((dy - unit * dot(unit, dy)) / size));
    }
    s.ambient = clamp(w.x * extraAmbient(v0.w) + w.y * extraAmbient(v1.w) + w.z * extraAmbient(v2.w), 0.0, 1.0);
    return s;
}

// The light a surface sends to the eye, in two parts: what its albedo scales, and its highlights
// and emitted light, which it does not. Kept apart, a pattern's mean can be lit as well.
struct Shading {
    vec3 diffuse;
    vec3 sheen;
};

vec3 litColor(Shading light, vec3 albedo) { return albedo * light.diffuse + light.sheen; }

// Direct light on a surface: ambient, then every light whose bit is set in lit. worth gets a bit
// for each light that adds something there and may be shadowed: the lights a shadow ray is worth
// tracing for.
Shading shade(Surface s, vec3 viewDir, int lit, out int worth) {
    Shading light = Shading(s.ambient * vec3(0.22, 0.24, 0.30), s.emitted);
    float shininess = mix(200.0, 6.0, s.roughness);
    float specular = (1.0 - s.roughness) * 0.6;
    worth = 0;
    for (int i = 0; i < lightSlotCount; ++i) {
        if ((lightsOccupied & (1 << i)) == 0) continue;
        vec3 lightAt = lightPosition(i);
        vec3 toLight = lightAt - s.position;
        float d2 = max(dot(toLight, toLight), 1e-6);
        vec3 l = toLight * inversesqrt(d2);
        float ndl = dot(s.normal, l);
        if (ndl <= 0.0) continue;  // the light is behind the surface
        vec3 h = normalize(l - viewDir);
        float highlight = specular * pow(max(dot(s.normal, h), 0.0), shininess);
        vec3 reaching = lightColor(i) / d2 * ndl;
        vec3 added = reaching * (max(s.albedo, s.otherAlbedo) + vec3(highlight));
        if (max(max(added.r, added.g), added.b) < invisibleLight) continue;  // too far or too weak to show
        worth |= lightsCasting & (1 << i);
        if ((lit & (1 << i)) != 0) {
            light.diffuse += reaching;
            light.sheen += reaching * highlight;
        }
    }
    return light;
}

// ---------------------------------------------------------------------------------------------
// The picture

// A colour as shown: a soft shoulder above 1, then display gamma.
vec3 displayed(vec3 color) {
    color = max(color, vec3(0.0));
    color = mix(color, 1.0 - exp(-color), smoothstep(0.6, 2.5, color));
    return pow(color, vec3(1.0 / 2.2));
}

// The light from a surface of the given albedo: lit, mirroring with the given share, in haze.
vec3 seenColor(Shading light, vec3 albedo, vec3 mirror, float fresnel, vec3 skyColor, float haze) {
    vec3 color = mix(litColor(light, albedo), mirror * mix(vec3(1.0), albedo, 0.3), fresnel);
    return mix(color, skyColor, haze);
}

// Two lights mixed much as shown, as the samples of a pixel mix them: display values go roughly as
// the square root of light.
vec3 mixedAsShown(vec3 a, vec3 b, float share) {
    vec3 root = mix(sqrt(max(a, vec3(0.0))), sqrt(max(b, vec3(0.0))), share);
    return root * root;
}

// Light measured much as shown, for the edge tests only: a square root is one instruction where
// the display curve is a few hundred.
vec3 steadyShown(vec3 color) { return sqrt(clamp(color, 0.0, 1.0)); }

// The largest value of v over the pixel's 2 x 2 block (the pixels the rasteriser shades together).
float blockMax(float v, vec2 parity) {
    float dx = dFdxFine(v);
    v = max(v, v + (parity.x < 0.5 ? dx : -dx));
    float dy = dFdyFine(v);
    return max(v, v + (parity.y < 0.5 ? dy : -dy));
}

// Whether v is the same in all four pixels of the block.
bool sameInBlock(float v, vec2 parity) { return blockMax(abs(dFdxFine(v)) + abs(dFdyFine(v)), parity) == 0.0; }

// Whether b holds in all four pixels of the block.
bool allInBlock(bool b, vec2 parity) { return blockMax(b ? 0.0 : 1.0, parity) == 0.0; }

// A block whose first samples differ by more than this holds an edge; by more than the second,
// a strong one.
const float edgeContrast = 0.12;
const float strongEdgeContrast = 0.6;
// Reflections of one object that differ by more than this (in light, not as shown) are traced
// again by the later samples rather than shared.
const float mirrorContrast = 0.1;

// What a pass of main's loop traces: a sample's eye ray, or the rays leaving the surface it met
// (its shadow rays and its mirror ray); a pixel with nothing to trace waits for its block.
const int eyeRay = 0;
const int surfaceRays = 1;
const int noRay = 2;
// A guard on the passes of a pixel: two for each of four samples, and the waits for the block, fit
// well inside it.
const int maxPasses = 64;

// The ray through a point of the window (in pixels) from the eye, and the pixel's sides along it.
vec3 eyeRayAt(vec2 point, mat3 view, out PixelSides pixel) {
    vec2 size = max(frameValues.xy, vec2(1.0));
    float focal = frameValues.z > 0.0 ? frameValues.z : 1.7;
    vec2 uv = (2.0 * point - size) / size.y;
    vec3 ray = view * vec3(uv, focal);
    float spread = 2.0 / (size.y * length(ray));  // a pixel's width at distance 1 along this ray
    pixel = PixelSides(vec3(0.0), vec3(0.0), spread * view[0], spread * view[1], floor(point) + 0.5 - point);
    return normalize(ray);
}

// Sample point i of the pixel: the first towards the outer corner of its 2 x 2 block, the second
// the opposite corner, the third and fourth the two others (x or y swapped to the other grid
// column or row by the slot's bits).
vec2 samplePoint(vec2 first, int i) {
    int slot = (3 * i) & 3;
    return mix(first, vec2(1.0) - first, vec2(float(slot & 1), float(slot >> 1)));
}

// The mirror ray off a surface met along dir, and the pixel's sides reflected: a turning normal
// spreads them.
vec3 mirrorRayOff(Surface s, vec3 dir, PixelSides pixel, out PixelSides mirrored) {
    vec3 rdir = reflect(dir, s.normal);
    // A reflection off a blended normal may point into the face: keep it just above.
    float above = dot(rdir, s.geometric);
    if (above < 1e-2) rdir = normalize(rdir + s.geometric * (1e-2 - above));
    float facing = dot(dir, s.normal);
    vec3 dirX = pixel.dirX - 2.0 * ((dot(pixel.dirX, s.normal) + dot(dir, s.turnX)) * s.normal + facing * s.turnX);
    vec3 dirY = pixel.dirY - 2.0 * ((dot(pixel.dirY, s.normal) + dot(dir, s.turnY)) * s.normal + facing * s.turnY);
    mirrored = PixelSides(s.sideX, s.sideY, dirX, dirY, pixel.toMiddle);
    return rdir;
}

// What a pixel's first sample found, for the later samples of its block.
struct FirstSample {
    int mesh;        // the mesh it hit, -1 for none
    int lit;         // bit i: light slot i reaches it (or was never tested there)
    int mirrorMesh;  // the mesh its reflection met, -1 for the sky or no reflection
    bool mirrored;   // whether mirror holds its reflection
    vec3 mirror;
    vec3 steady;     // its colour with checkers at their mean, for the edge test (see steadyShown)
};

void main() {
    float fade = clamp(flash.a, 0.0, 1.0);
    if (fade >= 1.0) {
        fragColor = vec4(flash.rgb, 1.0);  // the fade hides the scene entirely
        return;
    }
    mat3 view = mat3(camera[0].xyz, camera[1].xyz, camera[2].xyz);  // right, up, forward
    vec3 eye = camera[3].xyz;
    readLights(eye);
    readPart();
    if (dot(view[2], view[2]) == 0.0) {
        // A camera without a direction: look down +z with y up rather than along a zero ray.
        view = mat3(1.0);
    }

    // Anti-aliasing where it shows. Each pixel has four sample points on a 2 x 2 grid and traces
    // first the one towards the outer corner of its 2 x 2 block, so that the block's four first
    // samples span the block and an edge anywhere in it changes one of them. Where they differ
    // (outlines, shadow borders, highlights, the objects a mirror shows) every pixel of the block
    // traces more points: the opposite corner for a faint edge (then the other two as well, for the
    // whole block, where any of its pixels finds its two samples far apart), all three others at
    // once for a strong edge; elsewhere one ray per pixel is all it costs. A later sample that hits
    // the mesh its first sample hit takes that sample's shadow answers where the whole block got
    // the same ones, and the reflection of a faint mirror (a polished floor) where the block's
    // mirrors all met one object in much the same light; otherwise it traces its own.
    //
    // A sample is two passes of the loop below: each pass traces the rays set up by the pass before
    // and then sets up the next ones (the shadow rays and the mirror ray of the surface an eye ray
    // met, then the next sample's eye ray).
    vec2 cell = floor(gl_FragCoord.xy);
    vec2 parity = cell - 2.0 * floor(cell * 0.5);
    vec2 first = mix(vec2(0.25), vec2(0.75), parity);

    int kind = eyeRay;
    PixelSides raySides;
    vec3 rayOrigin = eye;
    vec3 rayDir = eyeRayAt(cell + first, view, raySides);
    float rayMax = noHit;
    int likely = -1;

    int sampleIndex = 0;
    int samples = 1;
    bool decided = false;  // whether the block has chosen its samples
    bool splitWanted = false;  // whether the pixel's first two samples differ much
    bool refined = false;      // whether a two-sample block has chosen again
    FirstSample firstSample = FirstSample(-1, 15, -1, false, vec3(0.0), vec3(0.0));
    int blockMesh = -1;        // the mesh all four first samples hit, or -1
    bool shadowsAgree = true;  // whether they got the same shadow answers
    bool mirrorsAgree = true;  // whether their reflections met the same object, much alike
    vec3 color = vec3(0.0);

    // The sample under way: the surface its eye ray met and what has been found for it.
    Surface s;
    vec3 dir = rayDir;
    int hitMesh = -1;
    float hitT = noHit;
    vec3 skyColor = vec3(0.0);
    int lit = 15;
    int toTest = 0;
    bool wantMirror = false;
    vec3 mirror = vec3(0.0);
    vec3 steadyMirror = vec3(0.0);  // with checkers at their mean, for the edge test
    int mirrorMesh = -1;

    for (int pass = 0; pass < maxPasses; ++pass) {
        int blocked;
        // A surface's shadow rays start where its mirror ray does (rayOrigin), and an eye pass has none.
        Hit hit = traceRays(rayOrigin, hitMesh, kind == surfaceRays ? toTest : 0, rayDir, rayMax, likely, blocked);
        lit &= ~blocked;
        bool later = sampleIndex > 0;
        Surface surface;  // the surface an eye or a mirror ray met in this pass
        if (kind == eyeRay || (kind == surfaceRays && rayMax >= 0.0)) {
            // An eye or a mirror ray: the surface it met (on a miss, a stand-in that is not used).
            bool eyeKind = kind == eyeRay;
            Hit met = hit;
            met.mesh = max(hit.mesh, 0);
            surface = surfaceAt(met, rayOrigin, rayDir, eyeKind, raySides);
            vec3 skyThere = sky(rayDir);
            int worth;
            Shading seenLight = shade(surface, rayDir, 15, worth);
            if (eyeKind) {
                s = surface;
                hitMesh = hit.mesh;
                hitT = hit.t;
                skyColor = skyThere;
                lit = 15;
                toTest = 0;
                wantMirror = hit.mesh >= 0 && s.reflectivity > 0.0;
                mirror = vec3(0.0);
                steadyMirror = vec3(0.0);
                mirrorMesh = -1;
                bool sameMesh = later && hit.mesh == firstSample.mesh;
                if (sameMesh && shadowsAgree) {
                    lit = firstSample.lit;
                } else if (hit.mesh >= 0) {
                    toTest = worth;
                }
                if (wantMirror && sameMesh && mirrorsAgree && firstSample.mirrored && s.reflectivity <= faintMirror) {
                    wantMirror = false;
                    mirror = firstSample.mirror;
                    mirrorMesh = firstSample.mirrorMesh;
                }
            } else {
                mirrorMesh = hit.mesh;
                // A checker seen in a mirror: its two materials mixed as a pixel's samples would be.
                vec3 seenMix = mixedAsShown(litColor(seenLight, surface.albedo), litColor(seenLight, surface.otherAlbedo),
                                            surface.otherShare);
                mirror = hit.mesh < 0 ? skyThere : seenMix;
                steadyMirror = hit.mesh < 0 ? skyThere : litColor(seenLight, 0.5 * (surface.albedo + surface.otherAlbedo));
            }
        }

        // The rays leaving the sample's surface, or its colour when it has none left.
        if (kind == eyeRay && (toTest != 0 || wantMirror)) {
            kind = surfaceRays;
            rayOrigin = s.rayOrigin;
            // surface is s here; read from it, s's sides and turns need not be kept from pass to pass.
            rayDir = wantMirror ? mirrorRayOff(surface, dir, raySides, raySides) : dir;
            rayMax = wantMirror ? noHit : -1.0;
            likely = -1;
        } else if (kind != noRay) {
            // The light of the sample's two materials (a checker's; otherwise one and the same),
            // mixed as shown, as the samples of a pixel are; the sky where it met nothing.
            vec3 seen = skyColor;
            vec3 otherSeen = skyColor;
            float otherShare = 0.0;
            vec3 steady = steadyShown(skyColor);
            if (hitMesh >= 0) {
                int unused;
                Shading lighting = shade(s, dir, lit, unused);
                float fresnel = s.reflectivity > 0.0 ? clamp(s.reflectivity + (1.0 - s.reflectivity) * 0.25 * pow(1.0 - max(dot(-dir, s.normal), 0.0), 5.0), 0.0, 1.0) : 0.0;
                // Distance haze toward the sky colour keeps far geometry calm.
                float haze = 1.0 - exp(-max(hitT - 30.0, 0.0) * 0.01);
                steady = steadyShown(seenColor(lighting, 0.5 * (s.albedo + s.otherAlbedo), steadyMirror, fresnel, skyColor, haze));
                seen = seenColor(lighting, s.albedo, mirror, fresnel, skyColor, haze);
                otherSeen = seenColor(lighting, s.otherAlbedo, mirror, fresnel, skyColor, haze);
                otherShare = s.otherShare;
            }
            vec3 shown = mix(displayed(seen), displayed(otherSeen), otherShare);
            color += shown;
            // A pixel whose first two samples differ much has the edge running through it.
            vec3 apart = abs(steady - firstSample.steady);
            if (sampleIndex == 1 && samples == 2 && max(max(apart.r, apart.g), apart.b) > edgeContrast) splitWanted = true;
            if (!later) firstSample = FirstSample(hitMesh, lit, mirrorMesh, s.reflectivity > 0.0 && hitMesh >= 0, mirror, steady);
            kind = noRay;
            toTest = 0;
            rayMax = -1.0;  // no ray
        }

        // Once the block's four first samples are in, it chooses how many samples its pixels take.
        // The derivatives are taken in every pass, where all four pixels run.
        vec3 change = abs(dFdxFine(firstSample.steady)) + abs(dFdyFine(firstSample.steady));
        float contrast = blockMax(max(max(change.r, change.g), change.b), parity);
        bool sameMesh = sameInBlock(float(firstSample.mesh), parity);
        bool sameLit = sameInBlock(float(firstSample.lit), parity);
        bool sameMirror = sameInBlock(float(firstSample.mirrorMesh), parity);
        vec3 mirrorChange = abs(dFdxFine(firstSample.mirror)) + abs(dFdyFine(firstSample.mirror));
        bool mirrorsAlike = blockMax(max(max(mirrorChange.r, mirrorChange.g), mirrorChange.b), parity) < mirrorContrast;
        if (!decided && allInBlock(later || kind == noRay, parity)) {
            decided = true;
            if (contrast > edgeContrast || !sameLit || !sameMirror) samples = contrast > strongEdgeContrast ? 4 : 2;
            blockMesh = sameMesh ? firstSample.mesh : -1;
            shadowsAgree = sameLit;
            mirrorsAgree = sameMirror && mirrorsAlike;
        }
        // Once the block's second samples are in, a block an edge runs through (as its pixels' first
        // two samples show) takes the other two as well.
        bool anySplit = !allInBlock(!splitWanted, parity);
        bool secondsIn = allInBlock(samples != 2 || (sampleIndex >= 1 && kind == noRay), parity);
        if (decided && !refined && samples == 2 && secondsIn) {
            refined = true;
            if (anySplit) samples = 4;
        }
        if (kind == noRay && decided && sampleIndex + 1 < samples) {
            ++sampleIndex;
            kind = eyeRay;
            rayOrigin = eye;
            rayDir = eyeRayAt(cell + samplePoint(first, sampleIndex), view, raySides);
            rayMax = noHit;
            likely = blockMesh;
            dir = rayDir;
        }
        if (allInBlock(decided && kind == noRay && (samples != 2 || refined), parity)) break;
    }
    color /= float(samples);
    color = mix(color, flash.rgb, fade);
    fragColor = vec4(color, 1.0);
    // Never taken (the window is never narrower than nothing), but a program that may discard is
    // compiled once by the rasteriser rather than twice (once more for blocks it covers whole):
    // that halves this program's build, most of what a part's first frame costs. At the start of
    // main it cost 2.5 % more instructions (7 % more steps of the walk); here, nothing.
    if (frameValues.x < 0.0) discard;
}

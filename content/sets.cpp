#include "content/sets.h"

#include <array>
#include <cstddef>

#include "content/materials.h"
#include "content/opening_set.h"

namespace content {
namespace {

// The places of the five sets. Each part of the show looks at one of them.
constexpr Vec3 kHall{0, 0, 0};          // a pillared hall, lit only by the camera's lamp
constexpr Vec3 kRotunda{60, 0, 0};      // a marble rotunda with a mirror orb
constexpr Vec3 kPlaza{0, 0, 60};        // the finale's plaza with glowing pillars and satellites
constexpr Vec3 kStoneField{-60, 0, 0};  // the opening: a monolith in a stone circle at dusk
constexpr Vec3 kStairwell{0, 0, -60};   // a spiral stair with a chain and a wandering wisp

constexpr Vec3 at(Vec3 set, float x, float y, float z) { return set + Vec3{x, y, z}; }

// Mesh 0: the hall's floor, walls, ceiling and two rows of pillars. Its dark tiles do not
// reflect: averaged over the checker, their faint reflection would cost every floor pixel a ray.
constexpr Material kSlateDarkMatte = surface(0.12f, 0.12f, 0.13f, 0.7f);

void buildHall(MeshBuilder& mesh, int) {
    addTiledFloor(mesh, kHall, 5.0f, 12.0f, 1.0f, kSlateLight, kSlateDarkMatte);
    addRoomShell(mesh, at(kHall, -5, 0, -12), at(kHall, 5, 6, 12), kPlaster, kPlasterDark);
    for (const float x : {-3.2f, 3.2f}) {
        for (const float z : {-8.0f, -4.0f, 0.0f, 4.0f, 8.0f}) {
            addBlock(mesh, at(kHall, x, 0.2f, z), {0.6f, 0.2f, 0.6f}, kSandstone);
            addColumn(mesh, at(kHall, x, 0.4f, z), 0.42f, 5.2f, kSandstone, 32, CylinderEnds::None);
            addBlock(mesh, at(kHall, x, 5.8f, z), {0.6f, 0.2f, 0.6f}, kSandstone);
        }
    }
}

// Mesh 1: a golden knot on a pedestal at the end of the hall.
void buildHallKnot(MeshBuilder& mesh, int) {
    addColumn(mesh, at(kHall, 0, 0, -8), 0.9f, 1.0f, kSandstone, 48, CylinderEnds::TopOnly);
    addShape(mesh, makeTorusKnot(2, 3, 0.35f, 256, 16), placeUniform(at(kHall, 0, 3.0f, -8), 0.55f), kGold);
}

// Mesh 2: the rotunda's round checkered floor on its plinth.
void buildRotundaFloor(MeshBuilder& mesh, int) {
    addRoundFloor(mesh, kRotunda, 10.0f, 6, 32, kMarbleWhite, kMarbleBlue);
    // The plinth's ends lie under the floor and in the ground; the columns' ends below stand on
    // blocks or floors or carry capitals: none of them is made.
    addShape(mesh, makeCylinder(48, 1, CylinderEnds::None), place(at(kRotunda, 0, -0.4f, 0), {10.0f, 0.39f, 10.0f}), kMarbleBlue);
}

// Mesh 3: eight pillars in a ring under a round lintel.
void buildColonnade(MeshBuilder& mesh, int) {
    for (int i = 0; i < 8; ++i) {
        const float degrees = 22.5f + 45.0f * static_cast<float>(i);
        const Vec3 base = orbitPoint(kRotunda, 7.5f, 0.0f, degrees);
        addBlock(mesh, base + Vec3{0, 0.15f, 0}, {0.5f, 0.15f, 0.5f}, kMarbleWhite, degrees);
        addColumn(mesh, base + Vec3{0, 0.3f, 0}, 0.35f, 3.9f, kMarbleWhite, 32, CylinderEnds::TopOnly);
    }
    addShape(mesh, makeTorus(7.5f, 0.3f, 128, 16), place(at(kRotunda, 0, 4.45f, 0), {1, 1, 1}), kMarbleWhite);
}

// Mesh 4: a mirror orb with a tilted ring, floating in the middle of the rotunda.
constexpr Vec3 kRotundaOrbCentre{60, 2.6f, 0};

void buildRotundaOrb(MeshBuilder& mesh, int) {
    addShape(mesh, makeIcosphere(4), placeUniform(kRotundaOrbCentre, 1.5f), kChrome);
    addShape(mesh, makeTorus(2.3f, 0.09f, 128, 12), placeUniform(kRotundaOrbCentre, 1.0f, {1, 0, 0}, 25.0f), kGold);
}

// A low square wall standing on the ground around centre: its top and its inner and outer sides,
// each a plain quad. Made of blocks instead, the blocks' ends would lie on each other's sides, and
// faces that lie on each other are faces no hierarchy can tell apart.
void addKerb(MeshBuilder& mesh, Vec3 centre, float innerHalf, float width, float height, const Material& material) {
    const float outerHalf = innerHalf + width;
    const std::size_t firstVertex = mesh.positions.size();
    const auto corner = [&](float half, int i, float y) {
        constexpr float kSigns[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        return centre + Vec3{half * kSigns[i][0], y, half * kSigns[i][1]};
    };
    for (int i = 0; i < 4; ++i) {
        const int j = (i + 1) % 4;
        const Vec3 inward = Vec3{} - (corner(1.0f, i, 0.0f) + corner(1.0f, j, 0.0f) - centre * 2.0f);
        addQuad(mesh, {corner(innerHalf, i, height), corner(innerHalf, j, height), corner(outerHalf, j, height),
                       corner(outerHalf, i, height)},
                kUp, material);
        addQuad(mesh, {corner(innerHalf, i, 0.0f), corner(innerHalf, j, 0.0f), corner(innerHalf, j, height),
                       corner(innerHalf, i, height)},
                inward, material);
        addQuad(mesh, {corner(outerHalf, i, 0.0f), corner(outerHalf, j, 0.0f), corner(outerHalf, j, height),
                       corner(outerHalf, i, height)},
                Vec3{} - inward, material);
    }
    // It stands on the ground: darker at its foot, like the shapes.
    for (std::size_t v = firstVertex; v < mesh.positions.size(); ++v) {
        mesh.ambient[v] = ambientFactor(mesh.positions[v].y - centre.y, 0.0f, height);
    }
}

// Mesh 5: the plaza's checkered floor with a kerb around it. Nothing else stands on it in this
// mesh, so it is laid in pieces of four tiles.
void buildPlazaFloor(MeshBuilder& mesh, int) {
    addTiledFloor(mesh, kPlaza, 12.0f, 12.0f, 1.5f, kTileBlack, kTileWhite, 6.0f);
    addKerb(mesh, kPlaza, 12.0f, 1.0f, 0.3f, kGranite);
}

// Meshes 6 to 9: pillars at the plaza's corners, each crowned by an orb glowing in its colour.
struct GlowPillar {
    float x, z;
    std::array<float, 3> glow;
};
constexpr std::array<GlowPillar, 4> kGlowPillars = {{{-6, -6, {1.6f, 0.25f, 0.2f}},
                                                     {6, -6, {0.3f, 1.5f, 0.4f}},
                                                     {6, 6, {0.3f, 0.5f, 1.8f}},
                                                     {-6, 6, {1.6f, 1.1f, 0.3f}}}};

void buildGlowPillar(MeshBuilder& mesh, int variant) {
    const GlowPillar& pillar = kGlowPillars[static_cast<std::size_t>(variant)];
    addBlock(mesh, at(kPlaza, pillar.x, 0.25f, pillar.z), {0.7f, 0.25f, 0.7f}, kGranite);
    addColumn(mesh, at(kPlaza, pillar.x, 0.5f, pillar.z), 0.45f, 4.0f, kGranite, 32, CylinderEnds::None);
    addBlock(mesh, at(kPlaza, pillar.x, 4.65f, pillar.z), {0.6f, 0.15f, 0.6f}, kGranite);
    const Material orb = surface(pillar.glow[0] / 2.0f, pillar.glow[1] / 2.0f, pillar.glow[2] / 2.0f, 0.3f, 0.0f, pillar.glow);
    addShape(mesh, makeIcosphere(3), placeUniform(at(kPlaza, pillar.x, 5.4f, pillar.z), 0.6f), orb);
}

// Mesh 10: the centrepiece, a mirror sphere on a stepped pedestal.
constexpr Vec3 kPlazaOrbCentre{0, 3.6f, 60};

void buildPlazaCentrepiece(MeshBuilder& mesh, int) {
    addColumn(mesh, kPlaza, 1.6f, 0.6f, kGranite, 48, CylinderEnds::TopOnly);
    addColumn(mesh, at(kPlaza, 0, 0.6f, 0), 1.2f, 0.5f, kGranite, 48, CylinderEnds::TopOnly);
    addShape(mesh, makeIcosphere(3), placeUniform(kPlazaOrbCentre, 2.2f), kChrome);
}

// Meshes 11 to 14: four small objects that circle the centrepiece, each spinning on its own.
constexpr float kSatelliteRadius = 5.0f;

Vec3 satelliteCentre(int variant) {
    return orbitPoint(kPlaza, kSatelliteRadius, kPlazaOrbCentre.y, 90.0f * static_cast<float>(variant));
}

void buildSatellite(MeshBuilder& mesh, int variant) {
    const Vec3 centre = satelliteCentre(variant);
    switch (variant) {
    case 0: addShape(mesh, makeBox(), placeUniform(centre, 0.55f, {1, 1, 0}, 35.0f), kRedLacquer); break;
    case 1: addShape(mesh, makeTorus(0.7f, 0.22f, 64, 16), placeUniform(centre, 1.0f, {1, 0, 0}, 60.0f), kEmerald); break;
    case 2: addShape(mesh, faceted(makeIcosphere(0)), placeUniform(centre, 0.8f), kSapphire); break;  // a cut gem
    default: addShape(mesh, makeTorusKnot(3, 2, 0.35f, 192, 14), placeUniform(centre, 0.22f), kGold); break;
    }
}

// Mesh 15: two gateways across the plaza's axis, each with a golden ring hanging in it.
void buildGateways(MeshBuilder& mesh, int) {
    for (const float z : {-10.0f, 10.0f}) {
        addBlock(mesh, at(kPlaza, -2.5f, 3.0f, z), {0.45f, 3.0f, 0.45f}, kSandstone);
        addBlock(mesh, at(kPlaza, 2.5f, 3.0f, z), {0.45f, 3.0f, 0.45f}, kSandstone);
        addBlock(mesh, at(kPlaza, 0, 6.4f, z), {3.2f, 0.4f, 0.6f}, kSandstone);
        addShape(mesh, makeTorus(1.6f, 0.12f, 96, 12), placeUniform(at(kPlaza, 0, 3.8f, z), 1.0f, {1, 0, 0}, 90.0f), kGold);
    }
}

// The opening at dusk: a low sun behind a black monolith. The set is first shown in two, then
// four colours, so it is made of broad tones: a sky dome glowing white at the horizon and darker
// in wide bands above, a plain pale ground the sun rakes, and dark standing shapes that stand out
// against the glow and throw long shadows towards the camera.
constexpr float kSkyRadius = 20.0f;
// Seen in two colours the bands step from solid white through two dither tones to the open sky
// above the dome; in full colour they go from the white-hot horizon through gold to red. Every
// pixel of sky that hits the dome costs a walk of its hierarchy, so the dome stops where the
// open sky's own tone takes over.
constexpr std::array<SkyBand, 3> kDuskSky = {{{17.0f, {6.0f, 5.0f, 3.6f}},
                                              {25.0f, {1.6f, 0.75f, 0.32f}},
                                              {33.0f, {0.7f, 0.22f, 0.12f}}}};
// The dome only needs to span what camera 3 sees over the part (compass angles 20 to 176).
constexpr float kSkyFromDegrees = 14.0f;
constexpr float kSkyToDegrees = 184.0f;
constexpr Material kDuskSand = surface(0.78f, 0.64f, 0.50f, 1.0f);
constexpr float kDuskGroundAmbient = 0.06f;
constexpr Material kMonolithBlack = surface(0.0005f, 0.0005f, 0.0006f, 0.9f);
constexpr Material kStandingStone = surface(0.004f, 0.0037f, 0.004f, 0.9f);
constexpr Material kWhiteHotGem = surface(1.0f, 0.9f, 0.75f, 0.4f, 0.0f, {6.0f, 5.0f, 3.5f});
constexpr Material kDarkHalo = surface(0.05f, 0.04f, 0.04f, 0.6f);

// Mesh 16: the opening's plain ground. It reaches a little under the dome's foot, so no gap
// opens between them. Alone in its mesh, the flat ground gets a tight hierarchy that rays to it
// walk quickly.
void buildStoneFieldGround(MeshBuilder& mesh, int) {
    addRoundGround(mesh, kStoneField, kSkyRadius + 0.8f, kDuskSand, kDuskGroundAmbient);
}

// Mesh 17: a tall black monolith inside a circle of seven dark standing stones, and the glowing
// sky dome around them; all of it stands still.
constexpr float kMonolithHeight = 7.0f;

void buildMonolith(MeshBuilder& mesh, int) {
    addBlock(mesh, at(kStoneField, 0, 0.5f * kMonolithHeight, 0), {1.1f, 0.5f * kMonolithHeight, 0.28f},
             kMonolithBlack);
    for (int i = 0; i < 7; ++i) {
        const float degrees = 360.0f * static_cast<float>(i) / 7.0f + 12.0f;
        const float height = 1.8f + 0.7f * static_cast<float>(i % 3);
        addTaperedSlab(mesh, orbitPoint(kStoneField, 6.5f, 0.0f, degrees), {0.55f, 0.0f, 0.3f}, height, 0.6f,
                       kStandingStone, degrees + 90.0f);
    }
    addSkyDome(mesh, kStoneField, kSkyRadius, kSkyFromDegrees, kSkyToDegrees, kDuskSky);
}

// Meshes 18 and 19: a white-hot gem floating above the monolith, and a dark halo turning round it.
constexpr Vec3 kGemCentre{-60, kMonolithHeight + 1.9f, 0};

void buildGem(MeshBuilder& mesh, int) { addShape(mesh, makeIcosphere(1), placeUniform(kGemCentre, 0.6f), kWhiteHotGem); }

void buildHalo(MeshBuilder& mesh, int) {
    addShape(mesh, makeTorus(1.8f, 0.16f, 72, 8), placeUniform(kGemCentre, 1.0f, {1, 0, 0}, 70.0f), kDarkHalo);
}

// Mesh 20: the stairwell's round floor.
void buildStairwellFloor(MeshBuilder& mesh, int) {
    addRoundFloor(mesh, kStairwell, 9.0f, 5, 24, kSlateTeal, kSlateDark);
}

// Mesh 21: a spiral stair of eighteen steps around a column, with a landing on top.
void buildSpiralStair(MeshBuilder& mesh, int) {
    addColumn(mesh, kStairwell, 0.6f, 6.6f, kSandstone, 40, CylinderEnds::None);
    for (int i = 0; i < 18; ++i) {
        const float degrees = 20.0f * static_cast<float>(i);
        addBlock(mesh, orbitPoint(kStairwell, 1.95f, 0.35f * static_cast<float>(i + 1), degrees), {1.3f, 0.12f, 0.45f},
                 kWood, degrees);
    }
    addColumn(mesh, at(kStairwell, 0, 6.6f, 0), 1.2f, 0.12f, kWood, 48);
}

// Mesh 22: two interlocked rings hovering above the stair.
constexpr Vec3 kChainCentre{0, 9.0f, -60};

void buildChain(MeshBuilder& mesh, int) {
    addShape(mesh, makeTorus(1.0f, 0.18f, 64, 16), placeUniform(kChainCentre + Vec3{-0.5f, 0, 0}, 1.0f), kCopper);
    addShape(mesh, makeTorus(1.0f, 0.18f, 64, 16), placeUniform(kChainCentre + Vec3{0.5f, 0, 0}, 1.0f, {1, 0, 0}, 90.0f),
             kSilver);
}

// Mesh 23: a glowing wisp that circles the stair.
constexpr float kWispRadius = 6.0f;
constexpr float kWispHeight = 3.0f;
constexpr float kWispTurnsPerSecond = 0.125f;

void buildWisp(MeshBuilder& mesh, int) {
    addShape(mesh, makeIcosphere(2), placeUniform(orbitPoint(kStairwell, kWispRadius, kWispHeight, 0.0f), 0.5f), kWisp);
}

// ---------------------------------------------------------------------------------------------
// Motion

MeshMotion satelliteMotion(int variant) {
    MeshMotion motion = spinning(satelliteCentre(variant), 0.3f, 0.35f, 3.0f + 0.5f * static_cast<float>(variant),
                                 {1, 1, 0.3f * static_cast<float>(variant)});
    motion.orbitCentre = kPlaza;
    motion.orbitTurnsPerSecond = 0.04f;
    return motion;
}

MeshMotion wispMotion() {
    MeshMotion motion;
    motion.bobHeight = 0.6f;
    motion.bobSeconds = 4.0f;
    motion.orbitCentre = kStairwell;
    motion.orbitTurnsPerSecond = kWispTurnsPerSecond;
    return motion;
}

constexpr std::array<CameraPath, 5> kCameraPaths = {{
    // 0, the hall: a slow walk towards the knot, swaying a little.
    {at(kHall, 0, 0, -8), 262.0f, 278.0f, 19.0f, 9.5f, 1.7f, 2.0f, at(kHall, 0, 2.6f, -8), at(kHall, 0, 3.0f, -8), 55.0f, 50.0f},
    // 1, the rotunda: a quarter turn inside the colonnade around the orb, coming down.
    {kRotunda, 200.0f, 290.0f, 6.4f, 5.6f, 3.4f, 2.0f, at(kRotunda, 0, 2.4f, 0), at(kRotunda, 0, 2.7f, 0), 58.0f, 54.0f},
    // 2, the plaza: almost a full circle that cranes up above the centrepiece.
    {kPlaza, 200.0f, 520.0f, 18.0f, 10.0f, 2.0f, 12.0f, at(kPlaza, 0, 2.5f, 0), at(kPlaza, 0, 2.0f, 0), 55.0f, 48.0f},
    // 3, the stone field: a long low dolly towards the monolith against the sunset, looking up
    // to the gem at the end.
    {kStoneField, 268.0f, 300.0f, 18.0f, 8.5f, 1.3f, 1.8f, at(kStoneField, 0, 3.5f, 0), at(kStoneField, 0, 5.0f, 0), 44.0f,
     50.0f},
    // 4, the stairwell: half a turn that climbs with the stair to the chain.
    {kStairwell, 20.0f, 160.0f, 14.0f, 11.0f, 2.5f, 10.0f, at(kStairwell, 0, 3.0f, 0), at(kStairwell, 0, 6.7f, 0), 50.0f,
     50.0f},
}};

constexpr std::array<LightPath, 7> kLightPaths = {{
    {kRotunda, 8.0f, 7.0f, 30.0f, 0.04f, {1.0f, 0.8f, 0.6f}, 60.0f, 30.0f},                        // 0, warm
    {kRotunda, 8.0f, 5.0f, 210.0f, -0.03f, {0.55f, 0.7f, 1.0f}, 45.0f, 30.0f},                     // 1, cool
    {kPlaza, 9.0f, 9.0f, 0.0f, 0.02f, {1.0f, 0.92f, 0.8f}, 120.0f, 40.0f},                         // 2, key
    {kPlaza, 3.0f, 6.6f, 180.0f, -0.045f, {0.6f, 0.55f, 1.0f}, 50.0f, 25.0f},                      // 3, violet
    // 4, the low sun behind the monolith, seen from the camera: it rakes the ground, so it is
    // strong enough to light it from far, and its shadows reach towards the camera.
    {kStoneField, 14.0f, 3.5f, 95.0f, 0.003f, {1.0f, 0.8f, 0.6f}, 30000.0f, 60.0f},
    {kStairwell, kWispRadius, kWispHeight + 1.3f, 0.0f, kWispTurnsPerSecond, {0.5f, 0.8f, 1.0f}, 25.0f, 15.0f},  // 5, wisp
    {kStairwell, 2.5f, 13.0f, 90.0f, 0.02f, {1.0f, 0.75f, 0.5f}, 140.0f, 40.0f},                   // 6, lamp
}};

}  // namespace

std::span<const MeshPlan> meshPlans() {
    static const std::array<MeshPlan, 24> plans = {{
        {buildHall, 0, {}},
        {buildHallKnot, 0, spinning(at(kHall, 0, 0, -8), 0.08f)},
        {buildRotundaFloor, 0, {}},
        {buildColonnade, 0, spinning(kRotunda, -0.025f)},
        {buildRotundaOrb, 0, spinning(kRotundaOrbCentre, 0.1f, 0.3f, 4.0f)},
        {buildPlazaFloor, 0, {}},
        {buildGlowPillar, 0, {}},
        {buildGlowPillar, 1, {}},
        {buildGlowPillar, 2, {}},
        {buildGlowPillar, 3, {}},
        {buildPlazaCentrepiece, 0, {}},
        {buildSatellite, 0, satelliteMotion(0)},
        {buildSatellite, 1, satelliteMotion(1)},
        {buildSatellite, 2, satelliteMotion(2)},
        {buildSatellite, 3, satelliteMotion(3)},
        {buildGateways, 0, {}},
        {buildStoneFieldGround, 0, {}},
        {buildMonolith, 0, {}},
        {buildGem, 0, spinning(kGemCentre, 0.15f, 0.4f, 5.5f, {0.3f, 1.0f, 0.2f})},
        {buildHalo, 0, spinning(kGemCentre, 0.1f, 0.4f, 5.5f)},
        {buildStairwellFloor, 0, {}},
        {buildSpiralStair, 0, {}},
        {buildChain, 0, spinning(kChainCentre, 0.12f, 0.3f, 4.0f)},
        {buildWisp, 0, wispMotion()},
    }};
    return plans;
}

std::span<const CameraPath> cameraPaths() { return kCameraPaths; }

std::span<const LightPath> lightPaths() { return kLightPaths; }

}  // namespace content

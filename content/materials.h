// The materials of the sets. Each face carries two surface records:
//   record 0: red, green, blue albedo (0..1, linear), roughness (0 = polished, 1 = matte)
//   record 1: red, green, blue emitted light added whatever the lights do (0 = none), and
//             reflectivity, the share of a mirror reflection (0..1)
#pragma once

#include <array>

namespace content {

struct Material {
    std::array<float, 4> record0;  // albedo red, green, blue, roughness
    std::array<float, 4> record1;  // emitted red, green, blue, reflectivity
};

constexpr Material surface(float r, float g, float b, float roughness, float reflectivity = 0.0f,
                           std::array<float, 3> emitted = {0, 0, 0}) {
    return {{r, g, b, roughness}, {emitted[0], emitted[1], emitted[2], reflectivity}};
}

inline constexpr Material kSlateDark = surface(0.12f, 0.12f, 0.13f, 0.7f, 0.05f);
inline constexpr Material kSlateLight = surface(0.30f, 0.29f, 0.27f, 0.8f);
inline constexpr Material kSlateTeal = surface(0.10f, 0.30f, 0.32f, 0.6f, 0.1f);
inline constexpr Material kPlaster = surface(0.42f, 0.38f, 0.33f, 0.95f);
inline constexpr Material kPlasterDark = surface(0.20f, 0.18f, 0.17f, 0.95f);
inline constexpr Material kSandstone = surface(0.72f, 0.60f, 0.44f, 0.85f);
inline constexpr Material kGranite = surface(0.38f, 0.37f, 0.40f, 0.7f);
inline constexpr Material kMarbleWhite = surface(0.88f, 0.86f, 0.82f, 0.25f, 0.15f);
inline constexpr Material kMarbleBlue = surface(0.22f, 0.30f, 0.45f, 0.25f, 0.15f);
inline constexpr Material kTileBlack = surface(0.03f, 0.03f, 0.04f, 0.15f, 0.35f);
inline constexpr Material kTileWhite = surface(0.85f, 0.85f, 0.83f, 0.15f, 0.25f);
inline constexpr Material kSandLight = surface(0.62f, 0.48f, 0.34f, 1.0f);
inline constexpr Material kSandDark = surface(0.50f, 0.38f, 0.27f, 1.0f);
inline constexpr Material kWood = surface(0.50f, 0.31f, 0.17f, 0.6f);
inline constexpr Material kChrome = surface(0.90f, 0.90f, 0.95f, 0.05f, 0.85f);
inline constexpr Material kObsidian = surface(0.02f, 0.02f, 0.03f, 0.05f, 0.5f);
inline constexpr Material kGold = surface(0.95f, 0.72f, 0.30f, 0.25f, 0.5f, {0.12f, 0.07f, 0.02f});
inline constexpr Material kCopper = surface(0.90f, 0.50f, 0.32f, 0.3f, 0.45f);
inline constexpr Material kSilver = surface(0.80f, 0.82f, 0.85f, 0.15f, 0.6f);
inline constexpr Material kRedLacquer = surface(0.80f, 0.08f, 0.06f, 0.2f, 0.25f);
inline constexpr Material kEmerald = surface(0.05f, 0.65f, 0.30f, 0.1f, 0.35f);
inline constexpr Material kSapphire = surface(0.10f, 0.25f, 0.90f, 0.1f, 0.4f);
inline constexpr Material kEmber = surface(1.00f, 0.60f, 0.30f, 0.4f, 0.1f, {2.0f, 0.9f, 0.35f});
inline constexpr Material kWisp = surface(0.60f, 0.90f, 1.00f, 0.4f, 0.0f, {0.8f, 1.6f, 2.0f});

}  // namespace content

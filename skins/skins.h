// Skins: the catalogue, the engine image and its deployment, skin application.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace skins {

constexpr int32_t skinCount = 33;

// Entry n (1..33) of the catalogue, each beginning with ".TSK"; empty outside 1..33.
std::span<const uint8_t> skinCatalogue(int32_t n);
// The engine library's complete file image, embedded at build time.
std::span<const uint8_t> skinEngineImage();

// The executable's directory, the separator and the engine's file name.
std::string engineFileName();
std::string enginePath();

void ensureSkinEngine();
void applySkin(int32_t n);

void onWindowCreated();
void onRandomSkin();

}  // namespace skins

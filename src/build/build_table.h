#pragma once
#include <array>
#include <cstdint>

// One known game build: its captions, the exact size of its asset file and where the game's
// database lies in it.
struct BuildRecord {
  const char* distributionText;
  const char* versionText;
  std::int64_t slotOffset;
  std::int64_t expectedAssetSize;
  std::int64_t slotLength;
};

// The known builds, in the order in which they are tried.
extern const std::array<BuildRecord, 4> BuildTable;

// The build being handled: set once by DetectBuild.
struct ActiveBuildState {
  const char* assetPath = nullptr;
  std::int64_t slotOffset = 0;
  std::int64_t expectedAssetSize = 0;
  std::int64_t slotLength = 0;
};

extern ActiveBuildState ActiveBuild;

// The asset file, relative to the program's folder.
constexpr char kAssetPath[] = "QM_Client_Data\\resources.assets";

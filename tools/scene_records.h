// The mesh records of a scene file as byte ranges, so that one can be replaced and every other
// byte of the file kept as it is. Meant for a file the loader has accepted: a file that ends
// before its counts say gives nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "content/scene_file_writer.h"
#include "tools/model_shaping.h"

struct MeshRecordPlace {
    std::size_t begin = 0;            // the record's first byte (its leading word)
    std::size_t end = 0;              // one past its last byte
    std::size_t transformsBegin = 0;  // its transform count
    std::uint32_t leadingWord = 0;
    std::uint32_t faces = 0;
    std::uint32_t vertices = 0;
    Box box;  // of the positions its faces use, in the mesh's own coordinates; zero without faces
};

[[nodiscard]] std::optional<std::vector<MeshRecordPlace>> findMeshRecords(std::span<const char> file);

// The file with the record at `place` replaced by `mesh`, whose transforms are the old record's
// bytes as they stand.
content::SceneFileBytes replaceMeshRecord(std::span<const char> file, const MeshRecordPlace& place,
                                          const content::MeshRecord& mesh);

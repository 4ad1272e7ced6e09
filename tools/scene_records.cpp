#include "tools/scene_records.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

struct Reader {
    std::span<const char> file;
    std::size_t at = 0;
    bool failed = false;

    std::uint32_t u32() {
        if (at > file.size() || file.size() - at < 4) {
            failed = true;
            return 0;
        }
        std::uint32_t value = 0;
        for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(file[at + i]);
        at += 4;
        return value;
    }
    float f32() {
        const std::uint32_t bits = u32();
        float value;
        std::memcpy(&value, &bits, 4);
        return value;
    }
    void skip(std::uint64_t bytes) {
        if (bytes > file.size() - std::min(at, file.size())) failed = true;
        at = failed ? file.size() : at + bytes;
    }
};

Box boxOfUsedPositions(Reader& in, std::uint32_t faces, std::size_t facesBegin, std::uint32_t vertices) {
    const std::size_t positionsBegin = in.at;
    const float inf = std::numeric_limits<float>::infinity();
    Box box{{inf, inf, inf}, {-inf, -inf, -inf}};
    Reader face{in.file, facesBegin};
    for (std::uint32_t f = 0; f < faces && !in.failed; ++f) {
        for (int c = 0; c < 3; ++c) {
            const std::uint32_t v = face.u32();
            if (v >= vertices) continue;
            Reader position{in.file, positionsBegin + 12 * std::size_t{v}};
            const Vec3 p{position.f32(), position.f32(), position.f32()};
            box.min = {std::min(box.min.x, p.x), std::min(box.min.y, p.y), std::min(box.min.z, p.z)};
            box.max = {std::max(box.max.x, p.x), std::max(box.max.y, p.y), std::max(box.max.z, p.z)};
        }
        face.u32();  // the surface word
    }
    return faces == 0 ? Box{} : box;
}

}  // namespace

std::optional<std::vector<MeshRecordPlace>> findMeshRecords(std::span<const char> file) {
    Reader in{file};
    const std::uint32_t count = in.u32();
    std::vector<MeshRecordPlace> places;
    for (std::uint32_t m = 0; m < count && !in.failed; ++m) {
        MeshRecordPlace place;
        place.begin = in.at;
        place.leadingWord = in.u32();
        place.faces = in.u32();
        const std::size_t facesBegin = in.at;
        in.skip(16ull * place.faces);
        place.vertices = in.u32();
        if (in.failed || file.size() - in.at < 12ull * place.vertices) return std::nullopt;
        place.box = boxOfUsedPositions(in, place.faces, facesBegin, place.vertices);
        in.skip(16ull * place.vertices + 32ull * place.faces);
        place.transformsBegin = in.at;
        in.skip(64ull * in.u32());
        place.end = in.at;
        places.push_back(place);
    }
    if (in.failed) return std::nullopt;
    return places;
}

content::SceneFileBytes replaceMeshRecord(std::span<const char> file, const MeshRecordPlace& place,
                                          const content::MeshRecord& mesh) {
    content::SceneFileBytes out(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(place.begin));
    content::MeshRecord untransformed = mesh;
    untransformed.transforms.clear();
    content::putMesh(out, untransformed, place.leadingWord);
    out.resize(out.size() - 4);  // its transform count of 0: the old record's count and transforms follow
    out.insert(out.end(), file.begin() + static_cast<std::ptrdiff_t>(place.transformsBegin), file.end());
    return out;
}

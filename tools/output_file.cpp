#include "tools/output_file.h"

#include <array>
#include <bit>
#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <system_error>

namespace {

// A name beside path that no other run uses at the same time (several build folders may
// generate into the same resources folder at once).
std::filesystem::path temporaryNameFor(const std::filesystem::path& path) {
    const auto ticks = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    std::filesystem::path temporary = path;
    temporary += ".partial-" + std::to_string(ticks ^ std::random_device{}());
    return temporary;
}

}  // namespace

bool openOutput(OutputFile& file, const std::filesystem::path& path) {
    file.path = path;
    file.temporary = temporaryNameFor(path);
    file.stream.open(file.temporary, std::ios::binary | std::ios::trunc);
    return file.stream.is_open();
}

void writeBytes(OutputFile& file, std::span<const std::byte> bytes) {
    file.stream.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void writeFloats(OutputFile& file, std::span<const float> values) {
    if constexpr (std::endian::native == std::endian::little) {
        writeBytes(file, std::as_bytes(values));
    } else {
        for (const float value : values) {
            const auto bits = std::bit_cast<std::uint32_t>(value);
            const std::array<std::byte, 4> bytes = {std::byte(bits & 0xFFu), std::byte((bits >> 8) & 0xFFu),
                                                    std::byte((bits >> 16) & 0xFFu), std::byte(bits >> 24)};
            writeBytes(file, bytes);
        }
    }
}

bool commitOutput(OutputFile& file) {
    file.stream.close();
    if (file.stream) {
        std::error_code error;
        std::filesystem::rename(file.temporary, file.path, error);
        if (!error) return true;
    }
    discardOutput(file);
    return false;
}

void discardOutput(OutputFile& file) {
    if (file.stream.is_open()) file.stream.close();
    std::error_code ignored;
    std::filesystem::remove(file.temporary, ignored);
}

bool writeFileInPlace(const std::filesystem::path& path, std::span<const std::byte> bytes) {
    OutputFile file;
    if (!openOutput(file, path)) return false;
    writeBytes(file, bytes);
    return commitOutput(file);
}

bool writeFloatsInPlace(const std::filesystem::path& path, std::span<const float> values) {
    OutputFile file;
    if (!openOutput(file, path)) return false;
    writeFloats(file, values);
    return commitOutput(file);
}

// How every qvtool command writes its files: under a temporary name beside the path, renamed into
// place once complete. A reader never sees half a file, and a failed write leaves the path as it
// was and no temporary file behind.
#pragma once

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <span>

struct OutputFile {
    std::filesystem::path path;
    std::filesystem::path temporary;
    std::ofstream stream;
};

// Creates the temporary file; false (and nothing created) when the folder cannot take it.
bool openOutput(OutputFile& file, const std::filesystem::path& path);

void writeBytes(OutputFile& file, std::span<const std::byte> bytes);

// float32 values, little-endian whatever the host's byte order.
void writeFloats(OutputFile& file, std::span<const float> values);

// Closes the file and renames it into place. When any write failed, or the rename does, removes
// the temporary file instead and returns false.
bool commitOutput(OutputFile& file);

// Closes and removes the temporary file; the path stays as it was.
void discardOutput(OutputFile& file);

// The whole of it for one buffer.
bool writeFileInPlace(const std::filesystem::path& path, std::span<const std::byte> bytes);

// The same for float32 values, little-endian.
bool writeFloatsInPlace(const std::filesystem::path& path, std::span<const float> values);

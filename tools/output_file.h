// How every qvtool command writes its files: under a temporary name beside the path, renamed into
// place once complete. A reader never sees half a file, and a failed write leaves the path as it
// was and no temporary file behind.
//
// The temporary file is created exclusively under a name unique to the run: an existing file or
// link of that name is never truncated or followed. Until committed, the guard removes it when it
// is destroyed, so an early return or an exception leaves nothing behind. Opening the guard is
// also the up-front check of the path: do it before any long work.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

struct OutputFile {
    std::filesystem::path path;
    std::filesystem::path temporary;  // empty while nothing is held
    int descriptor = -1;              // the temporary file, open for writing
    bool writeFailed = false;

    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();  // discards what was not committed
};

// Checks `path` (not a folder, in a folder that exists) and creates the temporary file beside
// it. On failure returns why, in a few words, and nothing is created.
[[nodiscard]] std::optional<std::string> openOutput(OutputFile& file, const std::filesystem::path& path);

// Creates `temporary` as `file`'s temporary file for `path`: exclusively, so that an existing file
// or link of that name is never truncated or followed, and named for deletion on an interrupt.
// False, with errno set, when it cannot (EEXIST: the name is taken).
[[nodiscard]] bool createTemporaryFile(OutputFile& file, const std::filesystem::path& path,
                                       const std::filesystem::path& temporary);

// Appends to the temporary file; a failure is remembered and makes commitOutput fail.
void writeBytes(OutputFile& file, std::span<const std::byte> bytes);

// float32 values, little-endian whatever the host's byte order.
void writeFloats(OutputFile& file, std::span<const float> values);

// Closes the file and renames it into place. When any write failed, or the close or the rename
// does, removes the temporary file instead and returns false.
[[nodiscard]] bool commitOutput(OutputFile& file);

// Closes and removes the temporary file; the path stays as it was. Safe to call twice.
void discardOutput(OutputFile& file);

// The whole of it for one buffer.
[[nodiscard]] bool writeFileAtomically(const std::filesystem::path& path, std::span<const std::byte> bytes);

// The same for float32 values, little-endian.
[[nodiscard]] bool writeFloatsAtomically(const std::filesystem::path& path, std::span<const float> values);

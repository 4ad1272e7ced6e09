#include "tools/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <random>
#include <system_error>

#include "cli/arguments.h"
#include "tools/interrupts.h"

namespace {

// A name beside `path` that no other run uses: several build folders may generate into the same
// resources folder at once. Exclusive creation catches the rare clash, and a new name is tried.
std::filesystem::path temporaryNameFor(const std::filesystem::path& path) {
    static std::random_device seed;
    static std::mt19937_64 draw(seed() ^ (static_cast<std::uint64_t>(::getpid()) << 32));
    std::filesystem::path temporary = path;
    temporary += ".partial-" + std::to_string(draw());
    return temporary;
}

std::filesystem::path folderOf(const std::filesystem::path& path) {
    return path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
}

std::string inQuotes(const std::filesystem::path& path) { return ::inQuotes(std::string_view(path.string())); }

}  // namespace

OutputFile::~OutputFile() { discardOutput(*this); }

std::optional<std::string> openOutput(OutputFile& file, const std::filesystem::path& path) {
    discardOutput(file);
    std::error_code error;
    if (path.empty() || !path.has_filename()) return inQuotes(path) + " names no file";
    if (std::filesystem::is_directory(path, error)) return inQuotes(path) + " is a folder";
    if (!std::filesystem::is_directory(folderOf(path), error)) return "folder " + inQuotes(folderOf(path)) + " does not exist";
    for (int attempt = 0; attempt < 8; ++attempt) {
        if (createTemporaryFile(file, path, temporaryNameFor(path))) return std::nullopt;
        if (errno != EEXIST) {
            return "cannot create a file in folder " + inQuotes(folderOf(path)) + ": " + std::strerror(errno);
        }
    }
    return "cannot find a free temporary name in folder " + inQuotes(folderOf(path));
}

bool createTemporaryFile(OutputFile& file, const std::filesystem::path& path, const std::filesystem::path& temporary) {
    int descriptor = -1;
    // Created and named for deletion in one step, so that an interrupt never leaves it behind.
    createDeletedOnInterrupt(temporary, [&] {
        descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        return descriptor >= 0;
    });
    if (descriptor < 0) return false;
    file.path = path;
    file.temporary = temporary;
    file.descriptor = descriptor;
    file.writeFailed = false;
    return true;
}

void writeBytes(OutputFile& file, std::span<const std::byte> bytes) {
    if (file.descriptor < 0) {
        file.writeFailed = true;
        return;
    }
    while (!bytes.empty() && !file.writeFailed) {
        const ssize_t written = ::write(file.descriptor, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            file.writeFailed = true;
            return;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
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
    if (file.descriptor < 0 || file.writeFailed) {
        discardOutput(file);
        return false;
    }
    const int closed = ::close(file.descriptor);
    file.descriptor = -1;
    std::error_code error;
    if (closed != 0 || !renameUnlessInterrupted(file.temporary, file.path, error)) {
        discardOutput(file);
        return false;
    }
    file.temporary.clear();
    return true;
}

void discardOutput(OutputFile& file) {
    if (file.descriptor >= 0) ::close(file.descriptor);
    file.descriptor = -1;
    if (!file.temporary.empty()) {
        std::error_code ignored;
        std::filesystem::remove(file.temporary, ignored);
        forgetTemporary(file.temporary);
        file.temporary.clear();
    }
}

bool writeFileAtomically(const std::filesystem::path& path, std::span<const std::byte> bytes) {
    OutputFile file;
    if (openOutput(file, path)) return false;
    writeBytes(file, bytes);
    return commitOutput(file);
}

bool writeFloatsAtomically(const std::filesystem::path& path, std::span<const float> values) {
    OutputFile file;
    if (openOutput(file, path)) return false;
    writeFloats(file, values);
    return commitOutput(file);
}

// qvtool song (--raw OUT | --wav OUT) [--bank FILE | --no-bank]: renders the whole song with the
// production's renderer and writes it as raw interleaved little-endian float32 (left, right) or as
// a 44,100 Hz stereo float WAV file.
//
// The sample table: --bank FILE fills it from the first 3,440,660 bytes of FILE, --no-bank leaves
// it zero, and without either the production's own choice applies (the system bank, else the
// built-in stand-in). Render time and real-time factor go to stderr.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <span>
#include <vector>

#include "platform/platform.h"
#include "synth/song_render.h"
#include "synth/sound_bank.h"
#include "tools/interrupts.h"
#include "tools/output_file.h"
#include "tools/qvtool_command.h"
#include "cli/arguments.h"

namespace {

const char kSongUsage[] = "song (--raw OUT | --wav OUT) [--bank FILE | --no-bank]";

enum class BankChoice { production, file, none };

struct SongArguments {
    const char* out = nullptr;
    bool wav = false;
    BankChoice bank = BankChoice::production;
    const char* bankFile = nullptr;
};

constexpr OptionRule kOptions[] = {{"--raw", 1}, {"--wav", 1}, {"--bank", 1}, {"--no-bank", 0}};

// One of --raw and --wav, at most one of --bank and --no-bank.
bool parseSongArguments(int argc, char** argv, SongArguments& arguments) {
    std::vector<GivenOption> options;
    if (readOptions(std::span(argv + 1, static_cast<std::size_t>(argc - 1)), kOptions, options)) return false;
    bool bankGiven = false;
    for (const GivenOption& option : options) {
        if (option.flag == "--raw" || option.flag == "--wav") {
            if (arguments.out != nullptr) return false;
            arguments.wav = option.flag == "--wav";
            arguments.out = option.value.data();  // the whole argument: values are argv strings
        } else {
            if (bankGiven) return false;
            bankGiven = true;
            arguments.bank = option.flag == "--bank" ? BankChoice::file : BankChoice::none;
            if (option.flag == "--bank") arguments.bankFile = option.value.data();
        }
    }
    return arguments.out != nullptr;
}

void putU16(std::vector<std::uint8_t>& bytes, std::uint32_t v) {
    bytes.push_back(static_cast<std::uint8_t>(v & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

void putU32(std::vector<std::uint8_t>& bytes, std::uint32_t v) {
    putU16(bytes, v & 0xFFFF);
    putU16(bytes, v >> 16);
}

// One byte at a time: GCC 12 warns wrongly about a range insert into an empty vector here.
void putTag(std::vector<std::uint8_t>& bytes, const char* tag) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(tag[i]));
}

// RIFF/WAVE header for IEEE float stereo at 44,100 Hz: fmt (format tag 3,
// extension size 0), fact (frame count) and the data chunk header.
std::vector<std::uint8_t> wavHeader() {
    const std::uint32_t dataBytes = synth::kSongBytes;
    std::vector<std::uint8_t> h;
    putTag(h, "RIFF");
    putU32(h, 4 + (8 + 18) + (8 + 4) + (8 + dataBytes));
    putTag(h, "WAVE");
    putTag(h, "fmt ");
    putU32(h, 18);
    putU16(h, 3);                                // IEEE float
    putU16(h, synth::kChannels);                 // channels
    putU32(h, platform::kAudioFrameRate);               // frames per second
    putU32(h, platform::kAudioFrameRate * 8);           // bytes per second
    putU16(h, 8);                                // block alignment
    putU16(h, 32);                               // bits per sample
    putU16(h, 0);                                // extension size
    putTag(h, "fact");
    putU32(h, 4);
    putU32(h, kSongFrames);
    putTag(h, "data");
    putU32(h, dataBytes);
    return h;
}

bool prepareBank(const SongArguments& arguments) {
    switch (arguments.bank) {
        case BankChoice::file:
            if (!su_load_bank_file(arguments.bankFile)) {
                std::fprintf(stderr, "qvtool song: cannot read bank file %s\n", inQuotes(arguments.bankFile).c_str());
                return false;
            }
            return true;
        case BankChoice::none:
            su_clear_bank();
            return true;
        case BankChoice::production:
            if (!su_load_gmdls()) std::fprintf(stderr, "qvtool song: no system sound bank, using the built-in stand-in\n");
            return true;
    }
    return true;
}

int runSong(int argc, char** argv) {
    SongArguments arguments;
    if (!parseSongArguments(argc, argv, arguments)) {
        return refuseUsage("song", kSongUsage);
    }
    OutputFile file;
    if (const auto error = openOutput(file, arguments.out)) {
        std::fprintf(stderr, "qvtool song: cannot write %s: %s\n", inQuotes(arguments.out).c_str(), error->c_str());
        return kFailureStatus;
    }
    pollInterrupts();
    if (!prepareBank(arguments)) return kFailureStatus;

    std::vector<float> samples(2 * static_cast<std::size_t>(kSongFrames));
    const auto start = std::chrono::steady_clock::now();
    su_render_song(samples.data());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fprintf(stderr, "qvtool song: rendered %.2f s of music in %.3f s (%.1fx real time)\n", synth::kSongSeconds, seconds,
                 synth::kSongSeconds / seconds);

    if (arguments.wav) {
        const std::vector<std::uint8_t> header = wavHeader();
        writeBytes(file, std::as_bytes(std::span(header)));
    }
    writeFloats(file, samples);
    // An interrupt at any point before the rename leaves OUT as it was.
    const bool kept = !interrupted() && commitOutput(file);
    if (!kept && interrupted()) {
        std::fprintf(stderr, "qvtool song: interrupted; nothing written to %s\n", inQuotes(arguments.out).c_str());
        return signalExitStatus(interruptSignal());
    }
    if (!kept) {
        std::fprintf(stderr, "qvtool song: cannot write %s\n", inQuotes(arguments.out).c_str());
        return kFailureStatus;
    }
    return kDoneStatus;
}

}  // namespace

QVTOOL_COMMAND(song, "song", kSongUsage, runSong);

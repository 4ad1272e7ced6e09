#include "synth/sound_bank.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <string>

#include "synth/song_tables.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace synth {

std::uint8_t susamtable[kSampleTableBytes];

namespace {

// Reads the first bytes of an open file over the (cleared) table.
void readInto(std::FILE* file) {
    std::size_t total = 0;
    while (total < kSampleTableBytes) {
        const std::size_t got = std::fread(susamtable + total, 1, kSampleTableBytes - total, file);
        if (got == 0) break;
        total += got;
    }
}

bool readBankPath(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    readInto(file);
    std::fclose(file);
    return true;
}

#ifdef _WIN32
// The relative path as the platform's OpenFile resolves it (application and
// current directory, then the system directories), then explicitly under the
// system directory, where the bank normally lives.
bool readSystemBank() {
    OFSTRUCT scratch{};
    const HFILE file = OpenFile(su_gmdls_path1, &scratch, OF_READ);
    if (file != HFILE_ERROR) {
        const HANDLE handle = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(file));
        DWORD read = 0;
        ReadFile(handle, susamtable, kSampleTableBytes, &read, nullptr);
        CloseHandle(handle);
        return true;
    }
    char directory[MAX_PATH];
    const UINT length = GetSystemDirectoryA(directory, MAX_PATH);
    if (length == 0 || length + 16 >= MAX_PATH) return false;
    std::string path(directory, length);
    path += "\\drivers\\gm.dls";
    return readBankPath(path.c_str());
}
#else
bool readSystemBank() { return readBankPath(su_gmdls_path1); }
#endif

// One partial of the stand-in: whole cycles per loop and relative amplitude.
struct Partial {
    int cycles;
    double amplitude;
};

// A soft electric-piano-like tone: the fundamental at 67 cycles per loop (at
// note 84 that is 520.6 Hz, 9 cents under the note's 523.3 Hz), a few
// harmonics, and a partial one cycle per loop above the fundamental that beats
// slowly against it. Whole cycles everywhere, so the loop has no seam.
constexpr Partial kStandInPartials[] = {
    {kStandInCycles, 1.0},          {kStandInCycles + 1, 0.35},     {2 * kStandInCycles, 0.45},
    {3 * kStandInCycles, 0.22},     {4 * kStandInCycles, 0.12},     {6 * kStandInCycles, 0.05},
};
constexpr double kStandInPeak = 0.7;  // of full scale

double standInWave(int word) {
    double sum = 0.0;
    for (const Partial& p : kStandInPartials) {
        sum += p.amplitude * std::sin(2.0 * 3.14159265358979323846 * p.cycles * word / kStandInLoopWords);
    }
    return sum;
}

}  // namespace

}  // namespace synth

void su_clear_bank() { std::fill(std::begin(synth::susamtable), std::end(synth::susamtable), std::uint8_t{0}); }

void su_write_stand_in_bank() {
    using namespace synth;
    su_clear_bank();
    double peak = 0.0;
    for (int i = 0; i < kStandInLoopWords; ++i) peak = std::max(peak, std::fabs(standInWave(i)));
    const SampleOffset& sample = su_sample_offsets[0];
    std::uint8_t* word = susamtable + 2 * static_cast<std::size_t>(sample.start);
    for (int i = 0; i < kStandInLoopWords; ++i, word += 2) {
        const auto value = static_cast<std::int16_t>(std::lround(standInWave(i) / peak * kStandInPeak * 32767.0));
        const auto bits = static_cast<std::uint16_t>(value);
        word[0] = static_cast<std::uint8_t>(bits & 0xFF);
        word[1] = static_cast<std::uint8_t>(bits >> 8);
    }
}

bool su_load_bank_file(const char* path) {
    su_clear_bank();
    return synth::readBankPath(path);
}

bool su_load_gmdls() {
    su_clear_bank();
    if (synth::readSystemBank()) return true;
    su_write_stand_in_bank();
    return false;
}

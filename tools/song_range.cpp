#include "tools/song_range.h"

#include <algorithm>
#include <cstdint>

#include "synth/song_render.h"
#include "synth/sound_bank.h"
#include "tools/interrupts.h"

bool renderSongSpan(const SongSpan& span, std::vector<float>& audio) {
    audio.assign(2 * static_cast<std::size_t>(span.end - span.first), 0.0f);
    (void)su_load_gmdls();  // no system bank: the built-in stand-in is what the show plays then
    synth::SongRenderer& renderer = synth::songRenderer();
    synth::beginSongRender(renderer);
    std::vector<float> row(2 * synth::kSamplesPerRow);
    const std::int64_t rowFrames = synth::kSamplesPerRow;
    for (std::int64_t first = 0; first < span.end; first += rowFrames) {
        if (interrupted()) return false;
        synth::renderSongRow(renderer, static_cast<int>(first / rowFrames), row.data());
        const std::int64_t begin = std::max(first, span.first);
        const std::int64_t end = std::min(first + rowFrames, span.end);
        if (begin < end) {
            std::copy(row.begin() + 2 * (begin - first), row.begin() + 2 * (end - first),
                      audio.begin() + 2 * (begin - span.first));
        }
    }
    return true;
}

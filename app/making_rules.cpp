#include "app/making_rules.h"

#include <algorithm>
#include <cmath>

#include "platform/audio_feed.h"
#include "platform/platform.h"
#include "synth/audio_clock.h"
#include "synth/song_constants.h"
#include "synth/song_rows.h"

double timeOfMillisecond(std::int64_t milliseconds) {
    return secondsOfFrame(songFrameAt(static_cast<double>(milliseconds) / 1000.0, synth::kSongFrames));
}

std::int64_t millisecondOf(double seconds) { return std::llround(seconds * 1000.0); }

std::int64_t lastMillisecondOfSong() { return static_cast<std::int64_t>(std::floor(songEndSeconds() * 1000.0)); }

double seekTarget(const std::optional<LoopRange>& loop, double seconds) {
    const double inShow = std::clamp(seconds, 0.0, songEndSeconds());
    if (!loop) return inShow;
    // The output's own rule, on the frames the clock turns these times into.
    const auto frameOf = [](double at) { return songFrameAt(at, synth::kSongFrames); };
    return platform::insideLoop(frameOf(inShow), {frameOf(loop->from), frameOf(loop->to)}) ? inShow : loop->from;
}

void requestSeek(PlayPosition& play, double seconds) {
    const std::int64_t target = std::min(millisecondOf(seekTarget(play.loop, seconds)), lastMillisecondOfSong());
    play.pendingSeek = static_cast<double>(target) / 1000.0;
}

void requestSeekToFrame(PlayPosition& play, std::uint32_t frame) {
    // frame / 44100 in double precision: the clock's round(seconds x 44100) gives the frame back.
    play.pendingSeek = seekTarget(play.loop, static_cast<double>(frame) / platform::kAudioFrameRate);
}

namespace {

std::uint32_t rowsPerStep(bool wholePattern) { return wholePattern ? synth::kRowsPerPattern : 1; }

}  // namespace

bool requestRowStep(PlayPosition& play, bool forward, bool wholePattern) {
    const std::uint32_t frame = songFrameAt(seekBase(play), synth::kSongFrames);
    const std::uint32_t unit = rowsPerStep(wholePattern) * synth::kSamplesPerRow;
    const std::uint32_t current = frame / unit;
    std::uint32_t target = 0;
    if (forward) {
        target = (current + 1) * unit;
        if (target >= synth::kSongFrames) return false;
    } else {
        if (frame == 0) return false;
        target = frame == current * unit ? (current - 1) * unit : current * unit;
    }
    requestSeekToFrame(play, target);
    return true;
}

void loopCurrentPattern(PlayPosition& play) {
    const synth::SongRow at = synth::songRowAt(songFrameAt(seekBase(play), synth::kSongFrames));
    const std::uint32_t pattern = std::min(at.pattern, synth::kOrderPositions - 1);
    const auto seconds = [](std::uint32_t frame) { return static_cast<double>(frame) / platform::kAudioFrameRate; };
    setLoop(play, LoopRange{seconds(synth::frameOfSongRow(pattern, 0)), seconds(synth::frameOfSongRow(pattern + 1, 0))});
}

double seekBase(const PlayPosition& play) { return play.pendingSeek.value_or(play.showTime); }

void requestMove(PlayPosition& play, double seconds) {
    if (play.paused || play.pendingSeek) {
        requestSeek(play, seekBase(play) + seconds);
        return;
    }
    play.pendingMove = play.pendingMove.value_or(0.0) + seconds;
}

void togglePause(PlayPosition& play) {
    play.paused = !play.paused;
    play.heldAtEnd = false;
    // A move asked for while playing is carried out from the held time instead.
    if (play.paused && play.pendingMove) {
        const double move = *play.pendingMove;
        play.pendingMove.reset();
        requestSeek(play, seekBase(play) + move);
    }
}

void hold(PlayPosition& play) {
    if (!play.paused) togglePause(play);
}

void setLoop(PlayPosition& play, const std::optional<LoopRange>& loop) {
    const double here = seekBase(play);
    play.loop = loop;
    play.loopChanged = true;
    if (loop && (here < loop->from || here >= loop->to)) requestSeek(play, loop->from);
}

bool setLoopStartHere(PlayPosition& play) {
    const double here = static_cast<double>(millisecondOf(seekBase(play))) / 1000.0;
    const double to = play.loop && play.loop->to > here ? play.loop->to : songEndSeconds();
    if (!(here < to)) return false;
    setLoop(play, LoopRange{here, to});
    return true;
}

bool setLoopEndHere(PlayPosition& play) {
    const double here = static_cast<double>(millisecondOf(seekBase(play))) / 1000.0;
    const double from = play.loop && play.loop->from < here ? play.loop->from : 0.0;
    if (!(from < here)) return false;
    setLoop(play, LoopRange{from, here});
    return true;
}

void followClock(PlayPosition& play) {
    if (play.loopChanged) {
        loopAudio(play.loop);
        play.loopChanged = false;
    }
    if ((play.pendingSeek || play.pendingMove) && play.heldAtEnd) {
        // Held only by the song's end: a seek from there plays on.
        play.paused = false;
        play.heldAtEnd = false;
    }
    if (play.pendingMove) {
        moveAudio(*play.pendingMove);
        play.pendingMove.reset();
        ++play.seeksDone;
    }
    if (play.pendingSeek) {
        // Held before the move, so that not one frame from the target sounds when pausing.
        if (play.paused) pauseAudio(true);
        const std::uint32_t target = seekAudio(*play.pendingSeek);
        play.pendingSeek.reset();
        ++play.seeksDone;
        pauseAudio(play.paused);
        play.showTime = secondsOfFrame(target);
        return;
    }
    pauseAudio(play.paused);
    const std::uint32_t frame = audioFrame();
    play.showTime = secondsOfFrame(frame);
    if (frame >= songFramesTotal() && !play.paused && !play.loop) {
        play.paused = true;
        play.heldAtEnd = true;
        pauseAudio(true);
    }
}

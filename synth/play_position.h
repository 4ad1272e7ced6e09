// Where making mode stands in the show: the one record that the keys write, the audio clock
// carries out and the director draws from. A seek is one write here (pendingSeek); the clock
// moves the sound there and the picture follows the clock.
#pragma once

#include <cstdint>
#include <optional>

// A stretch of show time played over and over: reaching `to` goes back to `from`.
struct LoopRange {
    double from = 0.0;
    double to = 0.0;
};

struct PlayPosition {
    double showTime = 0.0;             // seconds; the time of the frame being drawn
    bool paused = false;               // picture and sound held
    std::optional<LoopRange> loop;
    std::optional<double> pendingSeek; // seconds, inside the show; carried out by the clock
    bool heldAtEnd = false;            // paused by reaching the song's end, not by the user
    std::uint32_t seeksDone = 0;       // seeks the clock has carried out, so the picture can follow
};

// The song's length in seconds: where the show ends and making mode holds.
double songEndSeconds();

// Asks for show time `seconds`, clamped into the show (0 to the song's end).
void requestSeek(PlayPosition& play, double seconds);

// The time a relative seek starts from: a seek asked for but not carried out yet, else the
// time now shown, so that two quick presses move twice.
double seekBase(const PlayPosition& play);

// Space: holds or resumes picture and sound.
void togglePause(PlayPosition& play);

// The song frame of show time `seconds`: round(seconds x frame rate), at most `songFrames`.
std::uint32_t songFrameAt(double seconds, std::uint32_t songFrames);

// Where making mode stands in the show, and the rules over it: the one record that the keys
// write, the audio clock carries out and the picture follows. The clock's feed plays the loop
// sample-exactly; the rules here decide where a seek lands, what pausing holds, and that the
// song's end holds the show until a seek.
#pragma once

#include <cstdint>
#include <optional>

#include "synth/play_position.h"

struct PlayPosition {
    double showTime = 0.0;             // seconds; the time of the picture being drawn
    bool paused = false;               // picture and sound held
    std::optional<LoopRange> loop;
    bool loopChanged = false;          // set or cleared since the clock last heard of it
    std::optional<double> pendingSeek; // seconds, inside the show and the loop; the clock's to do
    std::optional<double> pendingMove; // seconds to move from where the sound is cut; the clock's to do
    bool heldAtEnd = false;            // paused by reaching the song's end, not by the user
    std::uint32_t seeksDone = 0;       // seeks the clock has carried out, so the picture can follow
};

// A held time is a whole number of milliseconds: the clock's reading at song frame
// round(ms / 1000 x 44100). That is exactly where `--at` with the millisecond time starts, so the
// readout's time always gives the held picture back.
double timeOfMillisecond(std::int64_t milliseconds);
std::int64_t millisecondOf(double seconds);  // the nearest whole millisecond

// The last whole millisecond inside the song: its end lies between two milliseconds, and the one
// before stands for it.
std::int64_t lastMillisecondOfSong();

// Where a seek to `seconds` lands: clamped into the show; with a loop, a time before its start or
// at or past its end goes to its start, as reaching the end by playing does.
double seekTarget(const std::optional<LoopRange>& loop, double seconds);

// Asks for show time `seconds` (see seekTarget), at its whole millisecond.
void requestSeek(PlayPosition& play, double seconds);

// Asks for song frame `frame` exactly (a row's start; see seekTarget).
void requestSeekToFrame(PlayPosition& play, std::uint32_t frame);

// Up and Down (with Shift: by patterns): the start of the next row, or of the row before (the
// current row's start when the time is inside it). Nothing past the song's last row or before 0:0.
bool requestRowStep(PlayPosition& play, bool forward, bool wholePattern);

// P: loops the pattern being played, from its first row to the next pattern's.
void loopCurrentPattern(PlayPosition& play);

// The time a relative seek starts from: a seek asked for but not carried out yet, else the
// picture's time, so that two quick presses move twice.
double seekBase(const PlayPosition& play);

// Left and Right: while playing, the sound moves by exactly `seconds` from where it is cut (the
// output still holds a little of what comes before the key was heard); while held, the held
// time moves. Two quick presses move twice.
void requestMove(PlayPosition& play, double seconds);

// Space: holds the sound, and with it the picture, where the sound stops (a whole millisecond
// just after what was heard), or plays on from there, repeating nothing.
void togglePause(PlayPosition& play);

// Holds the show (as Space does) when it plays; nothing when already held.
void hold(PlayPosition& play);

// Sets or clears the loop. The clock follows on the next frame; a time outside the new loop (also
// a held one) goes to its start.
void setLoop(PlayPosition& play, const std::optional<LoopRange>& loop);

// `[`: the loop starts at the picture's time and ends where it ended (the show's end when that is
// not after the new start). `]`: the loop ends there and starts where it started (the show's
// start when that is not before the new end). False when the time allows no loop.
bool setLoopStartHere(PlayPosition& play);
bool setLoopEndHere(PlayPosition& play);

// Once per frame: hands the loop, a pending seek and the pause to the clock and sets
// `play.showTime` from it. After a seek the time is the seek's target, so the first picture is
// the target's. Reaching the song's end without a loop holds there, paused, until a seek; a seek
// from there plays on.
void followClock(PlayPosition& play);

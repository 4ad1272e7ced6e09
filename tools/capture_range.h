// What a capture covers and how it was made, as plain arithmetic shared by `qvtool capture`, its
// farm plan and `qvtool join`: the pictures of a show range on a rate's grid, the song frames beside
// them, the split of a range into pieces of whole pictures, the record a capture writes into its
// file's metadata, and the rules by which pieces fit together.
//
// Picture i of a range [from, to) at `fps` shows show time from + i / fps. When `from` lies on the
// grid of whole pictures counted from show time 0, the time is computed from the picture's number
// in the show, (n + i) / fps: a piece that starts at picture n then shows exactly the times, to the
// last bit, of a one-run capture from 0, which is what lets a farm split the show by time.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "synth/song_constants.h"

struct PictureGrid {
    double from = 0.0;
    int fps = 1;
    bool onGrid = false;       // `from` is picture `first` of the show's grid
    std::int64_t first = 0;    // picture number of `from` from show time 0, when onGrid
    std::int64_t pictures = 0; // the pictures whose show times lie in [from, to); at least one
};

// The pictures of [from, to) at fps frames per second (from < to, fps >= 1).
PictureGrid pictureGrid(double from, double to, int fps);

// Show time of picture i of the grid.
double pictureTime(const PictureGrid& grid, std::int64_t i);

// The song frames [first, end) of [from, to) at 44,100 per second, both ends rounded to the
// nearest frame and kept within the song.
struct SongSpan {
    std::int64_t first = 0;
    std::int64_t end = 0;
};
SongSpan songSpan(double from, double to);

// One piece of a split range.
struct PlannedPiece {
    double from = 0.0;
    double to = 0.0;
    std::int64_t pictures = 0;
};

// Splits [from, to) at fps into `count` pieces of whole pictures, as even as whole pictures allow,
// each piece's `from` the previous piece's `to`; the last piece ends at `to`. When the range holds
// fewer pictures than `count`, there is one piece a picture.
std::vector<PlannedPiece> planPieces(double from, double to, int fps, int count);

// A seconds value as the shortest decimal that reads back as the same double.
std::string exactSeconds(double seconds);

// How a capture was made, as its file's metadata records it.
struct CaptureRecord {
    double from = 0.0;
    double to = 0.0;
    int width = 0;
    int height = 0;
    int fps = 0;
    int samples = 1;
    int crf = 0;
    std::string preset;
    bool audio = true;
};

using Metadata = std::vector<std::pair<std::string, std::string>>;

// The metadata entries of a record: one entry per field, and a "comment" that reads as the
// command that makes the same pictures again.
Metadata captureMetadata(const CaptureRecord& record);

// The record from a file's metadata (keys as captureMetadata writes them). Nothing when a field is
// missing or malformed: the file was not written by qvtool capture.
std::optional<CaptureRecord> readCaptureRecord(const std::map<std::string, std::string>& metadata);

// A piece as the join sees it: its name for messages, its record and what the file holds.
struct PieceFacts {
    std::string name;
    CaptureRecord record;
    std::int64_t pictures = 0;  // pictures in its video stream
    bool hasAudio = false;      // an audio stream in the file
};

// Orders the pieces by show time and checks that they fit together into one capture: video only;
// the same size, rate, samples, crf and preset; each holding the pictures its range needs; each
// piece's `from` the previous piece's `to`, to the picture (no gap, no overlap); every piece but
// the last ending on a whole picture. On a misfit returns one line saying which pieces and why.
std::optional<std::string> orderAndCheckPieces(std::vector<PieceFacts>& pieces);

#include "app/readout.h"

#include <algorithm>
#include <cstdio>

#include "gl/gl_api.h"

// stb_easy_font keeps every function static: this is the one file that compiles it.
#include <stb_easy_font.h>

namespace {

constexpr int kLineHeight = 12;  // the font's line advance, in its pixels
constexpr int kMargin = 4;       // window pixels between the text and the window's edge
constexpr int kPad = 2;          // font pixels of background around the text
constexpr std::size_t kVertexBytes = 16;  // the font's vertex: x, y, z floats and four colour bytes

// Font pixels per window pixel: 1 up to 1279 pixels wide, 2 from 1280 on, and so on.
int fontScale(int width, int height) { return std::max(1, std::min(width / 640, height / 360)); }

const char* stateText(PlayState state) {
    switch (state) {
        case PlayState::Playing: return "playing";
        case PlayState::Paused: return "paused";
        case PlayState::HeldAtEnd: return "held at the end";
    }
    return "";
}

char drawable(char c) { return c >= 32 && c < 127 ? c : '?'; }

// Breaks one line without line breaks of its own.
void wrapLine(std::string_view line, int width, std::vector<std::string>& lines) {
    std::string current;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t space = line.find(' ', at);
        const std::size_t end = space == std::string_view::npos ? line.size() : space;
        std::string word(line.substr(at, end - at));
        at = end == line.size() ? end : end + 1;
        const std::string joined = current.empty() ? word : current + " " + word;
        if (textWidth(joined) <= width) {
            current = joined;
            continue;
        }
        if (!current.empty()) lines.push_back(current);
        current.clear();
        // A word wider than the line is cut where it fills it.
        while (textWidth(word) > width && word.size() > 1) {
            std::size_t fit = 1;
            while (fit < word.size() && textWidth(word.substr(0, fit + 1)) <= width) ++fit;
            lines.push_back(word.substr(0, fit));
            word.erase(0, fit);
        }
        current = word;
    }
    if (!current.empty() || line.empty()) lines.push_back(current);
}

// Quads of the font's vertex format turned into window coordinates (-1 ... 1), two floats each.
void addTextQuads(const std::string& line, int x, int y, int scale, int width, int height, std::vector<float>& out) {
    std::vector<char> buffer(line.size() * 300 + 64);
    const int quads = stb_easy_font_print(0.0f, 0.0f, const_cast<char*>(line.c_str()), nullptr, buffer.data(),
                                          static_cast<int>(buffer.size()));
    for (int v = 0; v < quads * 4; ++v) {
        float position[2];
        std::copy_n(reinterpret_cast<const char*>(buffer.data() + v * kVertexBytes), sizeof position,
                    reinterpret_cast<char*>(position));
        out.push_back(2.0f * static_cast<float>(x + position[0] * scale) / static_cast<float>(width) - 1.0f);
        out.push_back(1.0f - 2.0f * static_cast<float>(y + position[1] * scale) / static_cast<float>(height));
    }
}

void addRect(int left, int top, int right, int bottom, int width, int height, std::vector<float>& out) {
    const auto toX = [width](int x) { return 2.0f * static_cast<float>(x) / static_cast<float>(width) - 1.0f; };
    const auto toY = [height](int y) { return 1.0f - 2.0f * static_cast<float>(y) / static_cast<float>(height); };
    const float corners[8] = {toX(left), toY(top), toX(right), toY(top), toX(right), toY(bottom), toX(left), toY(bottom)};
    out.insert(out.end(), corners, corners + 8);
}

void drawQuads(const std::vector<float>& vertices, GLubyte red, GLubyte green, GLubyte blue, GLubyte alpha) {
    if (vertices.empty()) return;
    glColor4ub(red, green, blue, alpha);
    glVertexPointer(2, GL_FLOAT, 0, vertices.data());
    glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(vertices.size() / 2));
}

// One block of lines from window row `top` down: a dark band behind, the text over it.
void drawBlock(const std::vector<std::string>& lines, int top, int scale, int width, int height, GLubyte red,
               GLubyte green, GLubyte blue) {
    if (lines.empty()) return;
    std::vector<float> back;
    std::vector<float> text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int y = top + static_cast<int>(i) * kLineHeight * scale;
        const int right = kMargin + (textWidth(lines[i]) + kPad) * scale;
        addRect(kMargin - kPad * scale, y - kPad * scale, right, y + (kLineHeight - kPad) * scale, width, height, back);
        addTextQuads(lines[i], kMargin, y, scale, width, height, text);
    }
    drawQuads(back, 0, 0, 0, 160);
    drawQuads(text, red, green, blue, 255);
}

}  // namespace

std::string readoutLine(const ReadoutFacts& facts) {
    char text[160];
    std::snprintf(text, sizeof text, "part %d%s%s | %.3f s | %u:%u | step %d | %.1f fps | ", facts.part,
                  facts.set[0] != '\0' ? " " : "", facts.set, facts.seconds, facts.pattern, facts.row, facts.step,
                  facts.framesPerSecond);
    std::string line = text;
    if (facts.renderedShare) {
        std::snprintf(text, sizeof text, "waiting for the song, %d%% rendered",
                      static_cast<int>(*facts.renderedShare * 100.0));
        line += text;
        if (facts.state == PlayState::Paused) line += ", paused";
    } else {
        line += stateText(facts.state);
    }
    if (facts.loop) {
        std::snprintf(text, sizeof text, " | loop %.3f-%.3f", facts.loop->from, facts.loop->to);
        line += text;
    }
    return line;
}

int textWidth(std::string_view line) {
    std::string copy(line);
    std::transform(copy.begin(), copy.end(), copy.begin(), drawable);
    return stb_easy_font_width(copy.data());
}

std::vector<std::string> wrapText(std::string_view text, int width) {
    std::string printable(text);
    for (char& c : printable) c = c == '\n' ? c : (c == '\t' ? ' ' : drawable(c));
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at <= printable.size()) {
        const std::size_t end = std::min(printable.find('\n', at), printable.size());
        wrapLine(std::string_view(printable).substr(at, end - at), width, lines);
        at = end + 1;
    }
    return lines;
}

OverlayText layOutOverlay(const std::string& readout, bool readoutShown, const std::optional<std::string>& problem,
                          int width, int height) {
    const int scale = fontScale(width, height);
    const int textWidthLimit = std::max(1, (width - 2 * kMargin) / scale);
    OverlayText overlay;
    if (readoutShown) overlay.readout = wrapText(readout, textWidthLimit);
    if (problem) {
        const int rows = (height - 2 * kMargin) / (kLineHeight * scale) - static_cast<int>(overlay.readout.size());
        overlay.problem = wrapText(*problem, textWidthLimit);
        while (!overlay.problem.empty() && overlay.problem.back().empty()) overlay.problem.pop_back();
        overlay.problem.resize(std::min<std::size_t>(overlay.problem.size(), static_cast<std::size_t>(std::max(rows, 1))));
    }
    return overlay;
}

void drawOverlay(const OverlayText& overlay, int width, int height) {
    if (overlay.readout.empty() && overlay.problem.empty()) return;
    const int scale = fontScale(width, height);
    glApi.glUseProgram(0);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnableClientState(GL_VERTEX_ARRAY);
    const int readoutTop = kMargin + kPad * scale;
    drawBlock(overlay.readout, readoutTop, scale, width, height, 255, 255, 255);
    const int problemTop = readoutTop + static_cast<int>(overlay.readout.size()) * kLineHeight * scale;
    drawBlock(overlay.problem, problemTop, scale, width, height, 255, 120, 100);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisable(GL_BLEND);
}

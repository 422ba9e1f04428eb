#pragma once
// The headless host's screen: an off-screen OpenGL context (desktop GL, compatibility
// profile) whose framebuffer is the size of the host screen. It is made once per
// process, the first time something is drawn; without OpenGL on the machine the host
// says so once and draws nothing.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace korvane::host {

// True when drawing does real work: the context exists and is current on this thread,
// its framebuffer bound and sized to the screen, with a 2-D pixel projection (origin at
// the bottom left, as the simulator's 2-D drawing has it).
bool MakeScreenCurrent();
// Begins a frame's drawing: the screen is cleared and made current. False without GL.
bool BeginScreenFrame();
// True while the screen's context is current on this thread: the host's own drawing
// services draw only then.
bool ScreenIsCurrent();
// Ends a frame's drawing: what was drawn is handed to the renderer, as a buffer swap would.
void EndScreenFrame();
// Whether the host can draw at all (makes the context when not yet tried).
bool ScreenCanDraw();
// Why it cannot, empty when it can.
std::string ScreenCannotDrawReason();

struct ScreenPixels {
    int width = 0;
    int height = 0;
    // RGBA, rows top to bottom.
    std::vector<std::uint8_t> rgba;
    // The pixel at screen coordinates (origin at the bottom left).
    const std::uint8_t* At(int x, int y) const {
        return &rgba[(static_cast<std::size_t>(height - 1 - y) * width + x) * 4];
    }
};
// What the screen shows now, rows top to bottom; empty without GL.
ScreenPixels ReadScreen();
// Writes the screen as a PNG file; false with a reason when it cannot.
bool WriteScreenPng(const std::filesystem::path& file, std::string* error);

// The host's own drawing, for its drawing services; each does nothing unless
// ScreenIsCurrent(). Rectangles are left, bottom, right, top in screen pixels and
// inclusive, as the SDK gives them; colours are RGBA from 0 to 1.
// Coordinates beyond any screen (a script may pass the int limits) are drawn at this
// distance instead: nothing there is visible, and the sums and differences drawing
// makes of them stay well within int.
inline constexpr int kCanvasReach = 1 << 28;
inline int WithinReach(int coordinate) { return std::clamp(coordinate, -kCanvasReach, kCanvasReach); }

void FillRect(int left, int bottom, int right, int top, const float* rgba);
void FrameRect(int left, int bottom, int right, int top, const float* rgba);
// Text with its baseline at y, in the host's face sized `pixelHeight`, each character
// `advance` pixels on; with wrapWidth > 0 lines break between words to stay within it,
// each further line `pixelHeight` lower.
void DrawText(const float* rgb, int x, int y, const std::string& text, int wrapWidth, int pixelHeight, int advance);

}  // namespace korvane::host

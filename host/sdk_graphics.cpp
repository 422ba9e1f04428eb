// XPLMGraphics as the headless host serves it. State changes, texture binds and drawing
// calls are recorded, and drawn for real on the host's screen while it can draw.
// Coordinates convert by a fixed projection and each font has fixed metrics.
#include "host/gl_canvas.h"
#include "host/host_state.h"

#ifdef KORVANE_HOST_GL
#include <GL/gl.h>
#endif

#include <XPLMGraphics.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <string>

using namespace korvane::host;

namespace {

// The simulator's own textures, by XPLMTextureID.
constexpr int kSimulatorTextures[] = {1, 2, 3};

// The local frame: origin on the ground (altitude 0) at the state's origin point,
// +x east, +y up, +z south, in metres. Latitude and longitude map to it linearly
// (an equirectangular projection scaled at the origin's latitude), so a conversion
// and its inverse give back what went in up to rounding.
constexpr double kMetresPerDegree = 6378137.0 * 3.14159265358979323846 / 180.0;

double MetresPerLongitudeDegree() {
    return kMetresPerDegree * std::cos(State().localOriginLatitude * 3.14159265358979323846 / 180.0);
}

struct FontMetrics {
    int width;
    int height;
    int digitsOnly;
};

// Per XPLMFontID, the widest character's size and whether the font has only digits.
constexpr FontMetrics kFonts[] = {
    {7, 12, 0},   // Basic
    {7, 12, 0},   // Menus
    {8, 12, 0},   // Metal
    {9, 14, 1},   // Led
    {12, 14, 1},  // LedWide
    {8, 14, 0},   // PanelHUD
    {7, 10, 0},   // PanelEFIS
    {8, 12, 0},   // PanelGPS
    {10, 14, 1},  // RadiosGA
    {10, 14, 1},  // RadiosBC
    {10, 14, 1},  // RadiosHM
    {7, 14, 1},   // RadiosGANarrow
    {7, 14, 1},   // RadiosBCNarrow
    {7, 14, 1},   // RadiosHMNarrow
    {9, 16, 1},   // Timer
    {8, 10, 1},   // FullRound
    {6, 8, 1},    // SmallRound
    {7, 12, 0},   // Menus_Localized
    {7, 12, 0},   // Proportional (its widest character)
};

std::string ColourText(const float* colour) {
    char text[64];
    std::snprintf(text, sizeof text, "(%g,%g,%g)", colour[0], colour[1], colour[2]);
    return text;
}

// Any font draws in the host's one face at that font's size.
void DrawHostText(const float* colour, int x, int y, const char* text, int wrapWidth, XPLMFontID font) {
    if (font < 0 || font >= static_cast<int>(std::size(kFonts))) font = xplmFont_Basic;
    DrawText(colour, x, y, text, wrapWidth, kFonts[font].height, kFonts[font].width);
}

}  // namespace

XPLM_API void XPLMSetGraphicsState(int inEnableFog, int inNumberTexUnits, int inEnableLighting,
                                   int inEnableAlphaTesting, int inEnableAlphaBlending, int inEnableDepthTesting,
                                   int inEnableDepthWriting) {
    RecordCall("XPLMSetGraphicsState", "fog=" + std::to_string(inEnableFog) +
                                           " texUnits=" + std::to_string(inNumberTexUnits) +
                                           " lighting=" + std::to_string(inEnableLighting) +
                                           " alphaTesting=" + std::to_string(inEnableAlphaTesting) +
                                           " alphaBlending=" + std::to_string(inEnableAlphaBlending) +
                                           " depthTesting=" + std::to_string(inEnableDepthTesting) +
                                           " depthWriting=" + std::to_string(inEnableDepthWriting));
#ifdef KORVANE_HOST_GL
    if (!ScreenIsCurrent()) return;
    auto set = [](GLenum capability, int on) { on ? glEnable(capability) : glDisable(capability); };
    set(GL_FOG, inEnableFog);
    set(GL_LIGHTING, inEnableLighting);
    set(GL_ALPHA_TEST, inEnableAlphaTesting);
    set(GL_BLEND, inEnableAlphaBlending);
    set(GL_DEPTH_TEST, inEnableDepthTesting);
    glDepthMask(inEnableDepthWriting ? GL_TRUE : GL_FALSE);
    // Texturing on the first units asked for, off on the rest the fixed pipeline has.
    GLint units = 0;
    glGetIntegerv(GL_MAX_TEXTURE_UNITS, &units);
    for (int unit = 0; unit < units; ++unit) {
        glActiveTexture(GL_TEXTURE0 + unit);
        set(GL_TEXTURE_2D, unit < inNumberTexUnits);
    }
    glActiveTexture(GL_TEXTURE0);
#endif
}

XPLM_API void XPLMBindTexture2d(int inTextureNum, int inTextureUnit) {
    RecordCall("XPLMBindTexture2d", "texture=" + std::to_string(inTextureNum) + " unit=" + std::to_string(inTextureUnit));
#ifdef KORVANE_HOST_GL
    GLint units = 0;
    if (!ScreenIsCurrent() || inTextureNum < 0 || inTextureUnit < 0) return;
    glGetIntegerv(GL_MAX_TEXTURE_UNITS, &units);
    if (inTextureUnit >= units) return;
    glActiveTexture(GL_TEXTURE0 + inTextureUnit);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(inTextureNum));
    glActiveTexture(GL_TEXTURE0);
#endif
}

XPLM_API void XPLMGenerateTextureNumbers(int* outTextureIDs, int inCount) {
    RecordCall("XPLMGenerateTextureNumbers", std::to_string(inCount));
    // Numbers from the host's own range, which GL accepts as texture names when bound
    // (a compatibility context makes a texture of any unused name).
    for (int i = 0; i < inCount; ++i) outTextureIDs[i] = State().nextTextureNumber++;
}

XPLM_API int XPLMGetTexture(XPLMTextureID inTexture) {
    // An unknown ID gets 0, OpenGL's "no texture".
    if (inTexture < 0 || inTexture >= static_cast<int>(std::size(kSimulatorTextures))) return 0;
    return kSimulatorTextures[inTexture];
}

XPLM_API void XPLMWorldToLocal(double inLatitude, double inLongitude, double inAltitude, double* outX, double* outY,
                               double* outZ) {
    const HostState& state = State();
    *outX = (inLongitude - state.localOriginLongitude) * MetresPerLongitudeDegree();
    *outY = inAltitude;
    *outZ = (state.localOriginLatitude - inLatitude) * kMetresPerDegree;
}

XPLM_API void XPLMLocalToWorld(double inX, double inY, double inZ, double* outLatitude, double* outLongitude,
                               double* outAltitude) {
    const HostState& state = State();
    *outLatitude = state.localOriginLatitude - inZ / kMetresPerDegree;
    *outLongitude = state.localOriginLongitude + inX / MetresPerLongitudeDegree();
    *outAltitude = inY;
}

XPLM_API void XPLMDrawTranslucentDarkBox(int inLeft, int inTop, int inRight, int inBottom) {
    RecordCall("XPLMDrawTranslucentDarkBox", std::to_string(inLeft) + " " + std::to_string(inTop) + " " +
                                                 std::to_string(inRight) + " " + std::to_string(inBottom));
    static const float kDark[] = {0.0f, 0.0f, 0.0f, 0.55f};
    FillRect(inLeft, inBottom, inRight, inTop, kDark);
}

XPLM_API void XPLMDrawString(float* inColorRGB, int inXOffset, int inYOffset, char* inChar, int* inWordWrapWidth,
                             XPLMFontID inFontID) {
    RecordCall("XPLMDrawString", ColourText(inColorRGB) + " " + std::to_string(inXOffset) + " " +
                                     std::to_string(inYOffset) + " '" + inChar + "' wrap=" +
                                     (inWordWrapWidth ? std::to_string(*inWordWrapWidth) : "null") +
                                     " font=" + std::to_string(inFontID));
    DrawHostText(inColorRGB, inXOffset, inYOffset, inChar, inWordWrapWidth ? *inWordWrapWidth : 0, inFontID);
}

XPLM_API void XPLMDrawNumber(float* inColorRGB, int inXOffset, int inYOffset, double inValue, int inDigits,
                             int inDecimals, int inShowSign, XPLMFontID inFontID) {
    char value[64];
    std::snprintf(value, sizeof value, "%g", inValue);
    RecordCall("XPLMDrawNumber", ColourText(inColorRGB) + " " + std::to_string(inXOffset) + " " +
                                     std::to_string(inYOffset) + " " + value + " digits=" + std::to_string(inDigits) +
                                     " decimals=" + std::to_string(inDecimals) +
                                     " sign=" + std::to_string(inShowSign) + " font=" + std::to_string(inFontID));
    // At least `digits` digits before the point, zero-filled, `decimals` after it.
    const int decimals = std::clamp(inDecimals, 0, 12);
    const int width = std::clamp(inDigits, 0, 24) + (decimals > 0 ? decimals + 1 : 0) + (inShowSign ? 1 : 0);
    char shown[96];
    std::snprintf(shown, sizeof shown, inShowSign ? "%+0*.*f" : "%0*.*f", width, decimals, inValue);
    DrawHostText(inColorRGB, inXOffset, inYOffset, shown, 0, inFontID);
}

// The host's fonts are monospaced: every byte is one character width.
XPLM_API float XPLMMeasureString(XPLMFontID inFontID, const char* inChar, int inNumChars) {
    RecordCall("XPLMMeasureString", std::to_string(inFontID) + " " + std::to_string(inNumChars));
    if (!inChar || inNumChars <= 0 || inFontID < 0 || inFontID >= static_cast<int>(std::size(kFonts))) return 0;
    return static_cast<float>(kFonts[inFontID].width * inNumChars);
}

XPLM_API void XPLMGetFontDimensions(XPLMFontID inFontID, int* outCharWidth, int* outCharHeight, int* outDigitsOnly) {
    RecordCall("XPLMGetFontDimensions", std::to_string(inFontID));
    // An unknown font has no size.
    FontMetrics metrics{0, 0, 0};
    if (inFontID >= 0 && inFontID < static_cast<int>(std::size(kFonts))) metrics = kFonts[inFontID];
    if (outCharWidth) *outCharWidth = metrics.width;
    if (outCharHeight) *outCharHeight = metrics.height;
    if (outDigitsOnly) *outDigitsOnly = metrics.digitsOnly;
}

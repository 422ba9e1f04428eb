#include "ui/interface_color.h"

#include "platform/opengl.h"

#include <XPLMDataAccess.h>

#include <array>

namespace korvane::ui {
namespace {

constexpr int kEntryCount = 12;

struct Entry {
    const char* dataRef;
    float fallback[3];
};

constexpr Entry kEntries[kEntryCount] = {
    {"sim/graphics/colors/menu_dark_rgb", {33 / 256.0f, 41 / 256.0f, 44 / 256.0f}},
    {"sim/graphics/colors/menu_bkgnd_rgb", {53 / 256.0f, 64 / 256.0f, 68 / 256.0f}},
    {"sim/graphics/colors/menu_hilite_rgb", {65 / 256.0f, 83 / 256.0f, 89 / 256.0f}},
    {"sim/graphics/colors/menu_lite_rgb", {65 / 256.0f, 83 / 256.0f, 89 / 256.0f}},
    {"sim/graphics/colors/menu_text_rgb", {0.8f, 0.8f, 0.8f}},
    {"sim/graphics/colors/menu_text_disabled_rgb", {0.4f, 0.4f, 0.4f}},
    {"sim/graphics/colors/subtitle_text_rgb", {0, 0, 0}},
    {"sim/graphics/colors/tab_front_rgb", {0, 0, 0}},
    {"sim/graphics/colors/tab_back_rgb", {0, 0, 0}},
    {"sim/graphics/colors/caption_text_rgb", {0, 0, 0}},
    {"sim/graphics/colors/list_text_rgb", {0, 0, 0}},
    {"sim/graphics/colors/glass_text_rgb", {0, 0, 0}},
};

constexpr const char* kLightLevels[3] = {
    "sim/graphics/misc/cockpit_light_level_r",
    "sim/graphics/misc/cockpit_light_level_g",
    "sim/graphics/misc/cockpit_light_level_b",
};

float currentAlpha = 1.0f;

}  // namespace

void GetInterfaceColor(int entry, float* rgb) {
    if (entry < 0 || entry >= kEntryCount) return;
    // Data references stay valid for the simulator's life, so one look-up serves all.
    static bool lookedUp = false;
    static std::array<XPLMDataRef, kEntryCount> refs{};
    static std::array<XPLMDataRef, 3> lightRefs{};
    static bool lightsLookedUp = false;
    if (!lookedUp) {
        for (int i = 0; i < kEntryCount; ++i) refs[i] = XPLMFindDataRef(kEntries[i].dataRef);
        lookedUp = true;
    }
    float colour[4] = {0, 0, 0, currentAlpha};
    if (refs[entry]) {
        XPLMGetDatavf(refs[entry], colour, 0, 3);
    } else {
        if (!lightsLookedUp) {
            for (int c = 0; c < 3; ++c) lightRefs[c] = XPLMFindDataRef(kLightLevels[c]);
            lightsLookedUp = true;
        }
        for (int c = 0; c < 3; ++c)
            colour[c] = (lightRefs[c] ? XPLMGetDataf(lightRefs[c]) : 1.0f) * kEntries[entry].fallback[c];
    }
    if (rgb) {
        for (int c = 0; c < 3; ++c) rgb[c] = colour[c];
        return;
    }
    gl::Color4fv(colour);
}

void SetInterfaceAlpha(float alpha) { currentAlpha = alpha; }

}  // namespace korvane::ui

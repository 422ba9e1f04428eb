#pragma once
// The simulator's interface colours, shared by the panel's own widgets.
namespace korvane::ui {

enum InterfaceColor {
    kMenuDark = 0,
    kMenuBackground = 1,
    kMenuHighlight = 2,
    kMenuLite = 3,
    kMenuText = 4,
    kMenuTextDisabled = 5,
    kSubtitleText = 6,
    kTabFront = 7,
    kTabBack = 8,
    kCaptionText = 9,
    kListText = 10,
    kGlassText = 11,
};

// With `rgb`, stores the colour's three channels there; without, makes it the current
// drawing colour at the current alpha.
void GetInterfaceColor(int entry, float* rgb = nullptr);
// The alpha GetInterfaceColor draws with (1.0 at first).
void SetInterfaceAlpha(float alpha);

}  // namespace korvane::ui

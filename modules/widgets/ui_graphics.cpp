// XPUIGraphics: drawing the simulator's stock interface pieces (windows, elements,
// tracks), their default dimensions and track metrics.
#include "modules/xplm/binding.h"
#include "modules/xplm/initialisers.h"

#include <XPUIGraphics.h>

namespace korvane {
namespace {

int* PlaceFor(PyObject* list, int& value) { return list == Py_None ? nullptr : &value; }

PyObject* DrawWindow(PyObject*, PyObject* args) {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0, style = 0;
    if (!PyArg_ParseTuple(args, "iiiii:XPDrawWindow", &x1, &y1, &x2, &y2, &style)) return nullptr;
    XPDrawWindow(x1, y1, x2, y2, style);
    return binding::ReturnOne();
}

PyObject* GetWindowDefaultDimensions(PyObject*, PyObject* args) {
    int style = 0;
    PyObject *width = nullptr, *height = nullptr;
    if (!PyArg_ParseTuple(args, "iOO:XPGetWindowDefaultDimensions", &style, &width, &height)) return nullptr;
    if (!binding::CheckResultLists({width, height}, "XPGetWindowDefaultDimensions")) return nullptr;
    int w = 0, h = 0;
    XPGetWindowDefaultDimensions(style, PlaceFor(width, w), PlaceFor(height, h));
    if (!binding::StoreInt(width, w) || !binding::StoreInt(height, h)) return nullptr;
    return binding::ReturnOne();
}

PyObject* DrawElement(PyObject*, PyObject* args) {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0, style = 0, lit = 0;
    if (!PyArg_ParseTuple(args, "iiiiii:XPDrawElement", &x1, &y1, &x2, &y2, &style, &lit)) return nullptr;
    XPDrawElement(x1, y1, x2, y2, style, lit);
    return binding::ReturnOne();
}

PyObject* GetElementDefaultDimensions(PyObject*, PyObject* args) {
    int style = 0;
    PyObject *width = nullptr, *height = nullptr, *canBeLit = nullptr;
    if (!PyArg_ParseTuple(args, "iOOO:XPGetElementDefaultDimensions", &style, &width, &height, &canBeLit))
        return nullptr;
    if (!binding::CheckResultLists({width, height, canBeLit}, "XPGetElementDefaultDimensions")) return nullptr;
    int w = 0, h = 0, lit = 0;
    XPGetElementDefaultDimensions(style, PlaceFor(width, w), PlaceFor(height, h), PlaceFor(canBeLit, lit));
    if (!binding::StoreInt(width, w) || !binding::StoreInt(height, h) || !binding::StoreInt(canBeLit, lit)) return nullptr;
    return binding::ReturnOne();
}

PyObject* DrawTrack(PyObject*, PyObject* args) {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0, min = 0, max = 0, value = 0, style = 0, lit = 0;
    if (!PyArg_ParseTuple(args, "iiiiiiiii:XPDrawTrack", &x1, &y1, &x2, &y2, &min, &max, &value, &style, &lit))
        return nullptr;
    XPDrawTrack(x1, y1, x2, y2, min, max, value, style, lit);
    return binding::ReturnOne();
}

PyObject* GetTrackDefaultDimensions(PyObject*, PyObject* args) {
    int style = 0;
    if (!PyArg_ParseTuple(args, "i:XPGetTrackDefaultDimensions", &style)) return nullptr;
    int width = 0, canBeLit = 0;
    XPGetTrackDefaultDimensions(style, &width, &canBeLit);
    return Py_BuildValue("(ii)", width, canBeLit);
}

PyObject* GetTrackMetrics(PyObject*, PyObject* args) {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0, min = 0, max = 0, value = 0, style = 0;
    if (!PyArg_ParseTuple(args, "iiiiiiii:XPGetTrackMetrics", &x1, &y1, &x2, &y2, &min, &max, &value, &style))
        return nullptr;
    int isVertical = 0, downButton = 0, downPage = 0, thumb = 0, upPage = 0, upButton = 0;
    XPGetTrackMetrics(x1, y1, x2, y2, min, max, value, style, &isVertical, &downButton, &downPage, &thumb, &upPage,
                      &upButton);
    return Py_BuildValue("(iiiiii)", isVertical, downButton, downPage, thumb, upPage, upButton);
}

PyMethodDef kMethods[] = {
    binding::Function<"XPDrawWindow", "inX1, inY1, inX2, inY2, inStyle", "Create a widget.", DrawWindow>(),
    binding::Function<"XPGetWindowDefaultDimensions", "inStyle, outWidth, outHeight",
                      "Create a widget.", GetWindowDefaultDimensions>(),
    binding::Function<"XPDrawElement", "inX1, inY1, inX2, inY2, inStyle, inLit", "Create a widget.", DrawElement>(),
    binding::Function<"XPGetElementDefaultDimensions", "inStyle, outWidth, outHeight, outCanBeLit",
                      "Create a widget.", GetElementDefaultDimensions>(),
    binding::Function<"XPDrawTrack", "inX1, inY1, inX2, inY2, inMin, inMax, inValue, inTrackStyle, inLit",
                      "Create a widget.", DrawTrack>(),
    binding::Function<"XPGetTrackDefaultDimensions", "inStyle", "Create a widget.", GetTrackDefaultDimensions>(),
    binding::Function<"XPGetTrackMetrics", "inX1, inY1, inX2, inY2, inMin, inMax, inValue, inTrackStyle",
                      "Create a widget.", GetTrackMetrics>(),
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

#define K(name) {#name, name}

PyObject* InitXPUIGraphics() {
    return binding::CreateModule("XPUIGraphics", kMethods, {
        K(xpWindow_Help), K(xpWindow_MainWindow), K(xpWindow_SubWindow), K(xpWindow_Screen), K(xpWindow_ListView),

        K(xpElement_TextField), K(xpElement_CheckBox), K(xpElement_CheckBoxLit), K(xpElement_WindowCloseBox),
        K(xpElement_WindowCloseBoxPressed), K(xpElement_PushButton), K(xpElement_PushButtonLit),
        K(xpElement_OilPlatform), K(xpElement_OilPlatformSmall), K(xpElement_Ship), K(xpElement_ILSGlideScope),
        K(xpElement_MarkerLeft), K(xpElement_Airport), K(xpElement_Waypoint), K(xpElement_NDB), K(xpElement_VOR),
        K(xpElement_RadioTower), K(xpElement_AircraftCarrier), K(xpElement_Fire), K(xpElement_MarkerRight),
        K(xpElement_CustomObject), K(xpElement_CoolingTower), K(xpElement_SmokeStack), K(xpElement_Building),
        K(xpElement_PowerLine), K(xpElement_CopyButtons), K(xpElement_CopyButtonsWithEditingGrid),
        K(xpElement_EditingGrid), K(xpElement_ScrollBar), K(xpElement_VORWithCompassRose), K(xpElement_Zoomer),
        K(xpElement_TextFieldMiddle), K(xpElement_LittleDownArrow), K(xpElement_LittleUpArrow),
        K(xpElement_WindowDragBar), K(xpElement_WindowDragBarSmooth),

        K(xpTrack_ScrollBar), K(xpTrack_Slider), K(xpTrack_Progress),
    });
}

#undef K

}  // namespace korvane

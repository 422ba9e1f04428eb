// XPLMGraphics: the simulator's graphics state, textures, world and local coordinates,
// text and numbers in its fonts, and font metrics.
#include "modules/xplm/binding.h"
#include "modules/xplm/initialisers.h"

#include <XPLMGraphics.h>

#include <algorithm>
#include <new>
#include <string>
#include <vector>

namespace korvane {
namespace {

PyObject* SetGraphicsState(PyObject*, PyObject* args) {
    int fog = 0, texUnits = 0, lighting = 0, alphaTesting = 0, alphaBlending = 0, depthTesting = 0,
        depthWriting = 0;
    if (!PyArg_ParseTuple(args, "iiiiiii:XPLMSetGraphicsState", &fog, &texUnits, &lighting, &alphaTesting,
                          &alphaBlending, &depthTesting, &depthWriting))
        return nullptr;
    XPLMSetGraphicsState(fog, texUnits, lighting, alphaTesting, alphaBlending, depthTesting, depthWriting);
    // This one has always answered 0.
    return PyLong_FromLong(0);
}

PyObject* BindTexture2d(PyObject*, PyObject* args) {
    int texture = 0, unit = 0;
    if (!PyArg_ParseTuple(args, "ii:XPLMBindTexture2d", &texture, &unit)) return nullptr;
    XPLMBindTexture2d(texture, unit);
    return binding::ReturnOne();
}

// More texture numbers than any panel uses in one call is a script's mistake, refused
// before the host spends time and memory on it.
constexpr int kMostTextureNumbers = 65536;

PyObject* GenerateTextureNumbers(PyObject*, PyObject* args) {
    PyObject* list = nullptr;
    int count = 0;
    if (!PyArg_ParseTuple(args, "O!i:XPLMGenerateTextureNumbers", &PyList_Type, &list, &count)) return nullptr;
    if (count < 0 || count > kMostTextureNumbers) {
        PyErr_Format(PyExc_ValueError, "XPLMGenerateTextureNumbers() count must be from 0 to %d, not %d",
                     kMostTextureNumbers, count);
        return nullptr;
    }
    if (count == 0) return binding::ReturnOne();
    std::vector<int> numbers(static_cast<std::size_t>(count), 0);
    XPLMGenerateTextureNumbers(numbers.data(), count);
    // Appended after whatever the list holds.
    for (int number : numbers) {
        PyRef item = PyRef::Steal(PyLong_FromLong(number));
        if (!item || PyList_Append(list, item.get()) < 0) return nullptr;
    }
    return binding::ReturnOne();
}

PyObject* GetTexture(PyObject*, PyObject* args) {
    int texture = 0;
    if (!PyArg_ParseTuple(args, "i:XPLMGetTexture", &texture)) return nullptr;
    return PyLong_FromLong(XPLMGetTexture(texture));
}

PyObject* WorldToLocal(PyObject*, PyObject* args) {
    double latitude = 0, longitude = 0, altitude = 0;
    if (!PyArg_ParseTuple(args, "ddd:XPLMWorldToLocal", &latitude, &longitude, &altitude)) return nullptr;
    double x = 0, y = 0, z = 0;
    XPLMWorldToLocal(latitude, longitude, altitude, &x, &y, &z);
    return Py_BuildValue("ddd", x, y, z);
}

PyObject* LocalToWorld(PyObject*, PyObject* args) {
    double x = 0, y = 0, z = 0;
    if (!PyArg_ParseTuple(args, "ddd:XPLMLocalToWorld", &x, &y, &z)) return nullptr;
    double latitude = 0, longitude = 0, altitude = 0;
    XPLMLocalToWorld(x, y, z, &latitude, &longitude, &altitude);
    return Py_BuildValue("ddd", latitude, longitude, altitude);
}

PyObject* DrawTranslucentDarkBox(PyObject*, PyObject* args) {
    int left = 0, top = 0, right = 0, bottom = 0;
    if (!PyArg_ParseTuple(args, "iiii:XPLMDrawTranslucentDarkBox", &left, &top, &right, &bottom)) return nullptr;
    XPLMDrawTranslucentDarkBox(left, top, right, bottom);
    return binding::ReturnOne();
}

// Colours are a "(fff)" group: any sequence of exactly three numbers, or a TypeError.
PyObject* DrawString(PyObject*, PyObject* args) {
    float colour[3] = {};
    int x = 0, y = 0, wrapWidth = 0, font = 0;
    binding::HostText text;
    if (!PyArg_ParseTuple(args, "(fff)iiO&ii:XPLMDrawString", &colour[0], &colour[1], &colour[2], &x, &y,
                          binding::ParseHostText, &text, &wrapWidth, &font))
        return nullptr;
    // The host takes a text it may not change; it gets a copy of its own.
    std::string characters(text.text);
    XPLMDrawString(colour, x, y, characters.data(), wrapWidth == 0 ? nullptr : &wrapWidth, font);
    return binding::ReturnOne();
}

PyObject* DrawNumber(PyObject*, PyObject* args) {
    float colour[3] = {};
    int x = 0, y = 0, digits = 0, decimals = 0, showSign = 0, font = 0;
    double value = 0;
    if (!PyArg_ParseTuple(args, "(fff)iidiiii:XPLMDrawNumber", &colour[0], &colour[1], &colour[2], &x, &y, &value,
                          &digits, &decimals, &showSign, &font))
        return nullptr;
    XPLMDrawNumber(colour, x, y, value, digits, decimals, showSign, font);
    return binding::ReturnOne();
}

PyObject* GetFontDimensions(PyObject*, PyObject* args) {
    int font = 0;
    PyObject *widthList = nullptr, *heightList = nullptr, *digitsOnlyList = nullptr;
    if (!PyArg_ParseTuple(args, "iOOO:XPLMGetFontDimensions", &font, &widthList, &heightList, &digitsOnlyList))
        return nullptr;
    for (PyObject* list : {widthList, heightList, digitsOnlyList})
        if (!binding::CheckResultList(list, "XPLMGetFontDimensions")) return nullptr;
    int width = 0, height = 0, digitsOnly = 0;
    XPLMGetFontDimensions(font, widthList == Py_None ? nullptr : &width, heightList == Py_None ? nullptr : &height,
                          digitsOnlyList == Py_None ? nullptr : &digitsOnly);
    if (!binding::StoreResult(widthList, PyRef::Steal(PyLong_FromLong(width))) ||
        !binding::StoreResult(heightList, PyRef::Steal(PyLong_FromLong(height))) ||
        !binding::StoreResult(digitsOnlyList, PyRef::Steal(PyLong_FromLong(digitsOnly))))
        return nullptr;
    return binding::ReturnOne();
}

// The width in pixels of the text's first numChars bytes (its UTF-8 bytes for a str),
// never more than the text holds.
PyObject* MeasureString(PyObject*, PyObject* args) {
    int font = 0;
    PyObject* textObject = nullptr;
    int numChars = 0;
    if (!PyArg_ParseTuple(args, "iOi:XPLMMeasureString", &font, &textObject, &numChars)) return nullptr;
    PyRef holder;
    std::optional<std::string_view> text = binding::TextToHost(textObject, holder);
    if (!text) return nullptr;
    if (numChars < 0) {
        PyErr_Format(PyExc_ValueError, "XPLMMeasureString() needs a count of 0 or more, not %d", numChars);
        return nullptr;
    }
    const int count = static_cast<int>(std::min<std::size_t>(text->size(), static_cast<std::size_t>(numChars)));
    return PyFloat_FromDouble(XPLMMeasureString(font, text->data(), count));
}

PyMethodDef kMethods[] = {
    binding::Function<"XPLMSetGraphicsState",
                      "inEnableFog, inNumberTexUnits, inEnableLighting, inEnableAlphaTesting, "
                      "inEnableAlphaBlending, inEnableDepthTesting, inEnableDepthWriting",
                      "Set Graphics State.", SetGraphicsState>(),
    binding::Function<"XPLMBindTexture2d", "inTextureNum, inTextureUnit", "Bind Texture.", BindTexture2d>(),
    binding::Function<"XPLMGenerateTextureNumbers", "outTextureIDs, inCount",
                      "Generate Texture Numbers.", GenerateTextureNumbers>(),
    binding::Function<"XPLMGetTexture", "inTexture", "Get Texture.", GetTexture>(),
    binding::Function<"XPLMWorldToLocal", "inLatitude, inLongitude, inAltitude",
                      "Convert World to Local Coordinates.", WorldToLocal>(),
    binding::Function<"XPLMLocalToWorld", "inX, inY, inZ", "Convert Local to World Coordinates.", LocalToWorld>(),
    binding::Function<"XPLMDrawTranslucentDarkBox", "inLeft, inTop, inRight, inBottom",
                      "Draw Translucent Dark Box.", DrawTranslucentDarkBox>(),
    binding::Function<"XPLMDrawString", "inColorRGB, inXOffset, inYOffset, inChar, inWordWrapWidth, inFontID",
                      "Draw String.", DrawString>(),
    binding::Function<"XPLMDrawNumber",
                      "inColorRGB, inXOffset, inYOffset, inValue, inDigits, inDecimals, inShowSign, inFontID",
                      "Draw Number.", DrawNumber>(),
    binding::Function<"XPLMMeasureString", "inFontID, inChar, inNumChars",
                      "Measure String: the width in pixels of the first inNumChars bytes.", MeasureString>(),
    binding::Function<"XPLMGetFontDimensions", "inFontID, outCharWidth, outCharHeight, outDigitsOnly",
                      "Get Font Dimensions.", GetFontDimensions>(),
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

#define K(name) {#name, name}

PyObject* InitXPLMGraphics() {
    return binding::CreateModule("XPLMGraphics", kMethods, {
        K(xplm_Tex_GeneralInterface), K(xplm_Tex_AircraftPaint), K(xplm_Tex_AircraftLiteMap),

        K(xplmFont_Basic), K(xplmFont_Menus), K(xplmFont_Metal), K(xplmFont_Led), K(xplmFont_LedWide),
        K(xplmFont_PanelHUD), K(xplmFont_PanelEFIS), K(xplmFont_PanelGPS), K(xplmFont_RadiosGA),
        K(xplmFont_RadiosBC), K(xplmFont_RadiosHM), K(xplmFont_RadiosGANarrow), K(xplmFont_RadiosBCNarrow),
        K(xplmFont_RadiosHMNarrow), K(xplmFont_Timer), K(xplmFont_FullRound), K(xplmFont_SmallRound),
        K(xplmFont_Menus_Localized),
    });
}

#undef K

}  // namespace korvane

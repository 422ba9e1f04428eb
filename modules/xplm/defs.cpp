// XPLMDefs: no functions, only the SDK-wide constants (plug-in IDs, the SDK version,
// key flags, key codes and virtual key codes).
#include "modules/xplm/binding.h"
#include "modules/xplm/initialisers.h"

#include <XPLMDefs.h>

namespace korvane {
namespace {

PyMethodDef kMethods[] = {
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

#define K(name) {#name, name}

PyObject* InitXPLMDefs() {
    return binding::CreateModule("XPLMDefs", kMethods, {
        K(XPLM_NO_PLUGIN_ID), K(XPLM_PLUGIN_XPLANE), K(kXPLM_Version), K(xplm_ShiftFlag), K(xplm_OptionAltFlag),
        K(xplm_ControlFlag), K(xplm_DownFlag), K(xplm_UpFlag),

        K(XPLM_KEY_RETURN), K(XPLM_KEY_ESCAPE), K(XPLM_KEY_TAB), K(XPLM_KEY_DELETE), K(XPLM_KEY_LEFT),
        K(XPLM_KEY_RIGHT), K(XPLM_KEY_UP), K(XPLM_KEY_DOWN), K(XPLM_KEY_0), K(XPLM_KEY_1), K(XPLM_KEY_2),
        K(XPLM_KEY_3), K(XPLM_KEY_4), K(XPLM_KEY_5), K(XPLM_KEY_6), K(XPLM_KEY_7), K(XPLM_KEY_8), K(XPLM_KEY_9),
        K(XPLM_KEY_DECIMAL),

        K(XPLM_VK_BACK), K(XPLM_VK_TAB), K(XPLM_VK_CLEAR), K(XPLM_VK_RETURN), K(XPLM_VK_ESCAPE),
        K(XPLM_VK_SPACE), K(XPLM_VK_PRIOR), K(XPLM_VK_NEXT), K(XPLM_VK_END), K(XPLM_VK_HOME), K(XPLM_VK_LEFT),
        K(XPLM_VK_UP), K(XPLM_VK_RIGHT), K(XPLM_VK_DOWN), K(XPLM_VK_SELECT), K(XPLM_VK_PRINT),
        K(XPLM_VK_EXECUTE), K(XPLM_VK_SNAPSHOT), K(XPLM_VK_INSERT), K(XPLM_VK_DELETE), K(XPLM_VK_HELP),
        K(XPLM_VK_0), K(XPLM_VK_1), K(XPLM_VK_2), K(XPLM_VK_3), K(XPLM_VK_4), K(XPLM_VK_5), K(XPLM_VK_6),
        K(XPLM_VK_7), K(XPLM_VK_8), K(XPLM_VK_9), K(XPLM_VK_A), K(XPLM_VK_B), K(XPLM_VK_C), K(XPLM_VK_D),
        K(XPLM_VK_E), K(XPLM_VK_F), K(XPLM_VK_G), K(XPLM_VK_H), K(XPLM_VK_I), K(XPLM_VK_J), K(XPLM_VK_K),
        K(XPLM_VK_L), K(XPLM_VK_M), K(XPLM_VK_N), K(XPLM_VK_O), K(XPLM_VK_P), K(XPLM_VK_Q), K(XPLM_VK_R),
        K(XPLM_VK_S), K(XPLM_VK_T), K(XPLM_VK_U), K(XPLM_VK_V), K(XPLM_VK_W), K(XPLM_VK_X), K(XPLM_VK_Y),
        K(XPLM_VK_Z), K(XPLM_VK_NUMPAD0), K(XPLM_VK_NUMPAD1), K(XPLM_VK_NUMPAD2), K(XPLM_VK_NUMPAD3),
        K(XPLM_VK_NUMPAD4), K(XPLM_VK_NUMPAD5), K(XPLM_VK_NUMPAD6), K(XPLM_VK_NUMPAD7), K(XPLM_VK_NUMPAD8),
        K(XPLM_VK_NUMPAD9), K(XPLM_VK_MULTIPLY), K(XPLM_VK_ADD), K(XPLM_VK_SEPARATOR), K(XPLM_VK_SUBTRACT),
        K(XPLM_VK_DECIMAL), K(XPLM_VK_DIVIDE), K(XPLM_VK_F1), K(XPLM_VK_F2), K(XPLM_VK_F3), K(XPLM_VK_F4),
        K(XPLM_VK_F5), K(XPLM_VK_F6), K(XPLM_VK_F7), K(XPLM_VK_F8), K(XPLM_VK_F9), K(XPLM_VK_F10),
        K(XPLM_VK_F11), K(XPLM_VK_F12), K(XPLM_VK_F13), K(XPLM_VK_F14), K(XPLM_VK_F15), K(XPLM_VK_F16),
        K(XPLM_VK_F17), K(XPLM_VK_F18), K(XPLM_VK_F19), K(XPLM_VK_F20), K(XPLM_VK_F21), K(XPLM_VK_F22),
        K(XPLM_VK_F23), K(XPLM_VK_F24), K(XPLM_VK_EQUAL), K(XPLM_VK_MINUS), K(XPLM_VK_RBRACE), K(XPLM_VK_LBRACE),
        K(XPLM_VK_QUOTE), K(XPLM_VK_SEMICOLON), K(XPLM_VK_BACKSLASH), K(XPLM_VK_COMMA), K(XPLM_VK_SLASH),
        K(XPLM_VK_PERIOD), K(XPLM_VK_BACKQUOTE), K(XPLM_VK_ENTER), K(XPLM_VK_NUMPAD_ENT), K(XPLM_VK_NUMPAD_EQ),
    });
}

#undef K

}  // namespace korvane

#pragma once
// The native callbacks Korvane hands the host on behalf of scripts. Each finds the
// script's entry in the registry, checks that the script is enabled, calls the
// script's Python callable and converts its result back to the host's type. A host
// call that finds no entry (removed, disabled, or after the interpreter stopped) is
// answered without touching Python.
#include "core/py_ref.h"

#include <XPLMCamera.h>
#include <XPLMDataAccess.h>
#include <XPLMDisplay.h>
#include <XPLMMenus.h>
#include <XPLMPlanes.h>
#include <XPLMScenery.h>
#include <XPLMUtilities.h>
#include <XPWidgetDefs.h>

#include <cstdint>
#include <initializer_list>
#include <string>

// The interpreter's object type, as its own header declares it.
typedef struct _object PyObject;

namespace korvane::dispatch {

// Windows: found by window ID; the callable names the owning script.
void DrawWindowCallback(XPLMWindowID window, void* refcon);
void KeyCallback(XPLMWindowID window, char key, XPLMKeyFlags flags, char virtualKey, void* refcon, int losingFocus);
int MouseClickCallback(XPLMWindowID window, int x, int y, XPLMMouseStatus status, void* refcon);
// XPLMCreateWindowEx's two more: a cursor status from 0 to 3, and 1 for a wheel turn taken.
XPLMCursorStatus CursorCallback(XPLMWindowID window, int x, int y, void* refcon);
int MouseWheelCallback(XPLMWindowID window, int x, int y, int wheel, int clicks, void* refcon);

// Found by the host refcon, which the registry gave the script's entry.
float FlightLoopCallback(float elapsedSinceLastCall, float elapsedSinceLastFlightLoop, int counter, void* refcon);
float CreatedFlightLoopCallback(float elapsedSinceLastCall, float elapsedSinceLastFlightLoop, int counter,
                                void* refcon);
void FeatureEnumeratorCallback(const char* feature, void* refcon);
// The host has one error callback per plug-in and calls it without a refcon: every
// script's error callable hears the message, in registration order.
void ErrorCallback(const char* message);
int DrawCallback(XPLMDrawingPhase phase, int isBefore, void* refcon);
int KeySnifferCallback(char key, XPLMKeyFlags flags, char virtualKey, void* refcon);
void HotKeyCallback(void* refcon);
void UserSharedDataCallback(void* refcon);
void UserMenuCallback(void* menuRefcon, void* itemRefcon);
int UserCameraControlCallback(XPLMCameraPosition_t* position, int isLosingControl, void* refcon);
void UserPlanesAvailableCallback(void* refcon);
// A command handler: 1 lets the command go on. A handler that raised or gave no int
// answers 1, so a broken script never swallows the simulator's commands.
int CommandCallback(XPLMCommandRef command, XPLMCommandPhase phase, void* refcon);

// The registry key (script or helper object) whose callable the host is calling now,
// innermost; null outside any. Borrowed: look it up in the registry before using it.
PyObject* DispatchingOwner();

// Widgets: found by widget handle.
int UserWidgetCallback(XPWidgetMessage message, XPWidgetID widget, intptr_t param1, intptr_t param2);

// A callable a script adds to a widget Korvane serves already hears xpMsg_Create with
// param1 1 alone, as the host tells a callback added to an existing widget.
void GreetAddedWidgetCallable(XPWidgetID widget, PyObject* key, PyObject* callable);

// A widget message on its way to a script's callable.
struct WidgetMessageFrame {
    XPWidgetMessage message;
    intptr_t param1;
    intptr_t param2;
};
// True while a message of one of the kinds is being handed to a script with `value` as
// its parameter `which` (1 or 2): only then may the structure it points to be read.
bool IsWidgetMessageParameter(std::initializer_list<XPWidgetMessage> messages, int which, intptr_t value);

// Held while a script sends a widget message itself: an xpMsg_Destroy it sends
// destroys nothing, so the widget keeps its entries.
class ScriptSentMessage {
public:
    explicit ScriptSentMessage(XPWidgetMessage message);
    ~ScriptSentMessage();
    ScriptSentMessage(const ScriptSentMessage&) = delete;
    ScriptSentMessage& operator=(const ScriptSentMessage&) = delete;

private:
    bool destroy_;
};

// Scenery. An asynchronous object load cannot be called off, so the host's refcon for
// one is this record, which lives until the host answers: an answer for a load whose
// entry went (its script stopped) unloads the object instead of calling anyone.
struct PendingObjectLoad {
    PyObject* owner = nullptr;  // the entry's key; borrowed, looked up before it is used
    bool abandoned = false;     // set when the entry goes without an answer
    std::string path;
};
void ObjectLoadedCallback(XPLMObjectRef object, void* pendingLoad);
// Records a loaded object as the owner's, so that a stop unloads it unless the owner
// did; false (with RuntimeError set) while the interpreter stops, the object unloaded.
bool HoldSceneryObject(PyObject* owner, XPLMObjectRef object);
// Found by the host refcon; only called while its lookup runs.
void LibraryEnumeratorCallback(const char* filePath, void* refcon);

}  // namespace korvane::dispatch

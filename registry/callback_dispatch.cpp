#include "registry/callback_dispatch.h"

#include "core/core_state.h"
#include "core/exception_barrier.h"
#include "core/host_call.h"
#include "core/output_capture.h"
#include "core/py_ref.h"
#include "core/python_errors.h"
#include "core/reporting.h"
#include "registry/dispatch_costs.h"
#include "registry/failure_report.h"
#include "registry/python_call.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace korvane::dispatch {
namespace {

// What one kind of native callback tells the host when it cannot hand the call on.
template <typename Result>
struct Answers {
    const char* function;     // the native's name, for log lines and checks
    const char* missingLine;  // logged for an entry whose callable slot is empty
    Result noEntry;           // no entry, owner disabled, or no interpreter to call
    Result noCallable;
    Result failed;            // the call raised or its result could not be converted
    const char* failedLine = nullptr;  // logged after a failed call, where the kind has one
    bool resultUsed = true;            // false where the host takes no result from the callable
};

// Kinds that return nothing to the host use int answers that nobody reads.
constexpr Answers<int> kDrawWindow{"DrawWindowCallback", "Cannot find method DrawWindowCallback\n", 0, 0, 0, nullptr, false};
constexpr Answers<int> kKey{"KeyCallback", "Cannot find method KeyCallback\n", 0, 0, 0, nullptr, false};
constexpr Answers<int> kMouseClick{"MouseClickCallback", "Cannot find method MouseClickCallback\n", 0, 0, 0};
constexpr Answers<int> kCursor{"CursorCallback", "Cannot find method CursorCallback\n", xplm_CursorDefault,
                               xplm_CursorDefault, xplm_CursorDefault};
constexpr Answers<int> kMouseWheel{"MouseWheelCallback", "Cannot find method MouseWheelCallback\n", 0, 0, 0};
constexpr Answers<float> kCreatedFlightLoop{"CreatedFlightLoopCallback",
                                            "Cannot find method CreatedFlightLoopCallback\n", 0.0f, 1.0f, 1.0f};
constexpr Answers<int> kFeatureEnumerator{"FeatureEnumeratorCallback",
                                          "Cannot find method FeatureEnumeratorCallback\n", 0, 0, 0};
constexpr Answers<int> kError{"ErrorCallback", "Cannot find method ErrorCallback\n", 0, 0, 0};
constexpr Answers<float> kFlightLoop{"FlightLoopCallback", "Cannot find method FlightLoopCallback\n", 0.0f, 1.0f,
                                     1.0f};
constexpr Answers<int> kDraw{"DrawCallback", "Cannot find method DrawCallback\n", 0, 1, 1};
constexpr Answers<int> kKeySniffer{"KeySnifferCallback", "Cannot find method KeySnifferCallback\n", 0, 1, 1};
constexpr Answers<int> kHotKey{"HotKeyCallback", "Cannot find method HotKeyCallback\n", 0, 0, 0, nullptr, false};
constexpr Answers<int> kSharedData{"UserSharedDataCallback", "Cannot find method UserSharedDataCallback\n", 0, 0, 0, nullptr, false};
constexpr Answers<int> kMenu{"UserMenuCallback", "Cannot find method UserMenuCallback\n", 0, 0, 0, nullptr, false};
constexpr Answers<int> kCamera{"UserCameraControlCallback", "Cannot find function UserCameraControlCallback\n", 0,
                               0, 0, "UserCameraControlCallback Call failed\n"};
constexpr Answers<int> kPlanes{"UserPlanesAvailableCallback", "Cannot find method UserPlanesAvailableCallback\n", 0,
                               0, 0, nullptr, false};
constexpr Answers<int> kCommand{"CommandCallback", "Cannot find method CommandCallback\n", 1, 1, 1};
constexpr Answers<int> kWidget{"UserWidgetCallback", "Cannot find method UserWidgetCallback\n", 0, 1, 1};

// The record whose callable the host is calling now, innermost: what a callable makes
// without naming its script (widgets) is put down to it. Borrowed, and only ever
// compared with the registry's keys.
PyObject* dispatchingOwner = nullptr;

class OwnerScope {
public:
    explicit OwnerScope(PyObject* key) : outer_(std::exchange(dispatchingOwner, key)) {}
    ~OwnerScope() { dispatchingOwner = outer_; }
    OwnerScope(const OwnerScope&) = delete;
    OwnerScope& operator=(const OwnerScope&) = delete;

private:
    PyObject* outer_;
};

// The steps every native callback shares: look the entry up, check its owner, call
// the callable and fall back to the kind's answers. `lookup` runs only while there
// is a registry (it is empty unless the interpreter runs); `call` builds the arguments, calls and
// converts, and gives nothing (with a Python error set) when any of that failed.
template <typename Result, typename Lookup, typename Call>
Result CallEntry(const HostCall& hostCall, const Answers<Result>& answers, Lookup lookup, Call call) {
    // The registry is emptied before the interpreter stops, so it answers for it too.
    if (!registry) return answers.noEntry;
    if (hostCall.NestsTooDeep()) return answers.failed;
    EntryMatch match = lookup();
    if (!match.key || match.enabled == 0) return answers.noEntry;
    if (!match.callable) {
        PrintPythonError();
        WriteLog(answers.missingLine);
        return answers.noCallable;
    }
    // The script may unregister this very entry from inside the call.
    PyRef callable = PyRef::Borrow(match.callable);
    OwnerScope owner(match.key);
    std::optional<Result> result =
        profile::Enabled()
            ? profile::Timed(match.key, answers.function, [&] { return call(callable.get(), match); })
            : call(callable.get(), match);
    KeepOutputCaptured(match.key);
    if (!result) {
        ReportFailedCall(match.key, callable.get(), answers.function, answers.resultUsed);
        if (answers.failedLine) WriteLog(answers.failedLine);
    }
    ReportWaitingFailures();
    return result ? *result : answers.failed;
}

template <typename Result, typename Lookup, typename Call>
Result Dispatch(const Answers<Result>& answers, Lookup lookup, Call call) {
    HostCall hostCall(answers.function);
    return WithinHostCall(answers.function, answers.failed,
                          [&] { return CallEntry(hostCall, answers, lookup, call); });
}

// Refcons the host passes through reach Python as the script's signed ints; window
// and widget handles as full-width ints, the value the bindings hand out for them.
long RefconValue(void* refcon) { return static_cast<long>(reinterpret_cast<std::intptr_t>(refcon)); }

// Key codes: window callbacks have always seen them signed, key sniffers their
// virtual key unsigned.
int SignedKey(char key) { return static_cast<signed char>(key); }
int UnsignedKey(char key) { return static_cast<unsigned char>(key); }

auto ByHostRefcon(CallbackKind kind, void* refcon) {
    return [=] { return registry->FindByHostRefcon(kind, refcon); };
}

// The camera's seven fields in the SDK's order.
std::array<float*, 7> PositionFields(XPLMCameraPosition_t& position) {
    return {&position.x, &position.y, &position.z, &position.pitch, &position.heading, &position.roll, &position.zoom};
}

PyRef PositionList(XPLMCameraPosition_t& position) {
    PyRef list = PyRef::Steal(PyList_New(7));
    if (!list) return list;
    Py_ssize_t index = 0;
    for (float* field : PositionFields(position)) {
        PyObject* item = PyFloat_FromDouble(*field);
        if (!item) return PyRef();
        PyList_SET_ITEM(list.get(), index++, item);  // steals the item
    }
    return list;
}

// The callable moves the camera by changing the list in place. Nothing is written
// unless all seven items are still numbers.
bool WritePositionBack(PyObject* list, XPLMCameraPosition_t& position) {
    if (PyList_GET_SIZE(list) != 7) {
        PyErr_SetString(PyExc_ValueError, "the camera position list must keep its seven numbers");
        return false;
    }
    // Reading an item may run Python (its __float__) that changes the list, so all
    // seven are held before the first is read.
    std::array<PyRef, 7> items;
    for (std::size_t i = 0; i < 7; ++i) items[i] = PyRef::Borrow(PyList_GET_ITEM(list, static_cast<Py_ssize_t>(i)));
    std::array<float, 7> values{};
    for (std::size_t i = 0; i < 7; ++i) {
        double value = PyFloat_AsDouble(items[i].get());
        if (value == -1.0 && PyErr_Occurred()) return false;
        values[i] = static_cast<float>(value);
    }
    std::array<float*, 7> fields = PositionFields(position);
    for (std::size_t i = 0; i < 7; ++i) *fields[i] = values[i];
    return true;
}

std::optional<int> CallCameraControl(PyObject* callable, PyRef refcon, XPLMCameraPosition_t* position,
                                     int isLosingControl) {
    if (!position) return Convert<int>(CallWith(callable, Int(0), Int(isLosingControl), std::move(refcon)));
    PyRef list = PositionList(*position);
    if (!list) return std::nullopt;
    std::optional<int> result =
        Convert<int>(CallWith(callable, PyRef::Borrow(list.get()), Int(isLosingControl), std::move(refcon)));
    if (result && !WritePositionBack(list.get(), *position)) return std::nullopt;
    return result;
}

}  // namespace

void DrawWindowCallback(XPLMWindowID window, void* refcon) {
    Dispatch(
        kDrawWindow, [=] { return registry->FindWindow(WindowField::Draw, window); },
        [=](PyObject* callable, const EntryMatch&) {
            return Ignore(CallWith(callable, Handle(window), Int(RefconValue(refcon))));
        });
}

void KeyCallback(XPLMWindowID window, char key, XPLMKeyFlags flags, char virtualKey, void* refcon, int losingFocus) {
    Dispatch(
        kKey, [=] { return registry->FindWindow(WindowField::Key, window); },
        [=](PyObject* callable, const EntryMatch&) {
            return Ignore(CallWith(callable, Handle(window), Int(SignedKey(key)), Int(flags),
                                   Int(SignedKey(virtualKey)), Int(RefconValue(refcon)), Int(losingFocus)));
        });
}

int MouseClickCallback(XPLMWindowID window, int x, int y, XPLMMouseStatus status, void* refcon) {
    return Dispatch(
        kMouseClick, [=] { return registry->FindWindow(WindowField::MouseClick, window); },
        [=](PyObject* callable, const EntryMatch&) {
            return Convert<int>(
                CallWith(callable, Handle(window), Int(x), Int(y), Int(status), Int(RefconValue(refcon))));
        });
}

XPLMCursorStatus CursorCallback(XPLMWindowID window, int x, int y, void* refcon) {
    return Dispatch(
        kCursor, [=] { return registry->FindWindow(WindowField::Cursor, window); },
        [=](PyObject* callable, const EntryMatch&) -> std::optional<int> {
            std::optional<int> status =
                Convert<int>(CallWith(callable, Handle(window), Int(x), Int(y), Int(RefconValue(refcon))));
            if (status && (*status < xplm_CursorDefault || *status > xplm_CursorCustom)) {
                PyErr_Format(PyExc_ValueError, "a cursor callback returns xplm_CursorDefault ... xplm_CursorCustom, not %d",
                             *status);
                return std::nullopt;
            }
            return status;
        });
}

int MouseWheelCallback(XPLMWindowID window, int x, int y, int wheel, int clicks, void* refcon) {
    return Dispatch(
        kMouseWheel, [=] { return registry->FindWindow(WindowField::MouseWheel, window); },
        [=](PyObject* callable, const EntryMatch&) {
            return Convert<int>(
                CallWith(callable, Handle(window), Int(x), Int(y), Int(wheel), Int(clicks), Int(RefconValue(refcon))));
        });
}

namespace {
float CallFlightLoop(const Answers<float>& answers, CallbackKind kind, float elapsedSinceLastCall,
                     float elapsedSinceLastFlightLoop, int counter, void* refcon) {
    return Dispatch(answers, ByHostRefcon(kind, refcon), [=](PyObject* callable, const EntryMatch& match) {
        return Convert<float>(CallWith(callable, Float(elapsedSinceLastCall), Float(elapsedSinceLastFlightLoop),
                                       Int(counter), match.RefconArgument()));
    });
}
}  // namespace

float FlightLoopCallback(float elapsedSinceLastCall, float elapsedSinceLastFlightLoop, int counter, void* refcon) {
    return CallFlightLoop(kFlightLoop, CallbackKind::FlightLoop, elapsedSinceLastCall, elapsedSinceLastFlightLoop,
                          counter, refcon);
}

float CreatedFlightLoopCallback(float elapsedSinceLastCall, float elapsedSinceLastFlightLoop, int counter,
                                void* refcon) {
    return CallFlightLoop(kCreatedFlightLoop, CallbackKind::CreatedFlightLoop, elapsedSinceLastCall,
                          elapsedSinceLastFlightLoop, counter, refcon);
}

void FeatureEnumeratorCallback(const char* feature, void* refcon) {
    Dispatch(kFeatureEnumerator, ByHostRefcon(CallbackKind::FeatureEnumerator, refcon),
             [=](PyObject* callable, const EntryMatch& match) {
                 return Ignore(CallWith(callable, Text(feature), match.RefconArgument()));
             });
}

void ErrorCallback(const char* message) {
    HostCall hostCall(kError.function);
    if (!registry) return;
    // The host reports a bad call from inside it, where the binding that made it may
    // already have an error of its own set: that one stays for its caller.
    PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
    PyErr_Fetch(&type, &value, &traceback);
    for (void* refcon : registry->HostRefconsOfKind(CallbackKind::ErrorCallback))
        Dispatch(kError, ByHostRefcon(CallbackKind::ErrorCallback, refcon),
                 [=](PyObject* callable, const EntryMatch&) { return Ignore(CallWith(callable, Text(message))); });
    PyErr_Restore(type, value, traceback);
}

int DrawCallback(XPLMDrawingPhase phase, int isBefore, void* refcon) {
    return Dispatch(kDraw, ByHostRefcon(CallbackKind::Draw, refcon), [=](PyObject* callable, const EntryMatch& match) {
        PyRef result = CallWith(callable, Int(phase), Int(isBefore), match.RefconArgument());
        // After its phase the simulator ignores the result, so a callable that returns
        // nothing there has done nothing wrong.
        if (!isBefore && result.get() == Py_None) return std::optional<int>(1);
        return Convert<int>(std::move(result));
    });
}

int KeySnifferCallback(char key, XPLMKeyFlags flags, char virtualKey, void* refcon) {
    return Dispatch(kKeySniffer, ByHostRefcon(CallbackKind::KeySniffer, refcon),
                    [=](PyObject* callable, const EntryMatch& match) {
                        return Convert<int>(CallWith(callable, Int(SignedKey(key)), Int(flags),
                                                     Int(UnsignedKey(virtualKey)), match.RefconArgument()));
                    });
}

void HotKeyCallback(void* refcon) {
    Dispatch(kHotKey, ByHostRefcon(CallbackKind::HotKey, refcon), [](PyObject* callable, const EntryMatch& match) {
        return Ignore(CallWith(callable, match.RefconArgument()));
    });
}

void UserSharedDataCallback(void* refcon) {
    Dispatch(
        kSharedData, ByHostRefcon(CallbackKind::SharedData, refcon),
        [](PyObject* callable, const EntryMatch& match) { return Ignore(CallWith(callable, match.RefconArgument())); });
}

void UserMenuCallback(void* menuRefcon, void* itemRefcon) {
    Dispatch(kMenu, ByHostRefcon(CallbackKind::Menu, menuRefcon), [=](PyObject* callable, const EntryMatch& match) {
        return Ignore(CallWith(callable, match.RefconArgument(), Int(RefconValue(itemRefcon))));
    });
}

int UserCameraControlCallback(XPLMCameraPosition_t* position, int isLosingControl, void* refcon) {
    return Dispatch(kCamera, ByHostRefcon(CallbackKind::Camera, refcon),
                    [=](PyObject* callable, const EntryMatch& match) {
                        return CallCameraControl(callable, match.RefconArgument(), position, isLosingControl);
                    });
}

void UserPlanesAvailableCallback(void* refcon) {
    Dispatch(kPlanes, ByHostRefcon(CallbackKind::Planes, refcon), [](PyObject* callable, const EntryMatch& match) {
        return Ignore(CallWith(callable, match.RefconArgument()));
    });
}

int CommandCallback(XPLMCommandRef command, XPLMCommandPhase phase, void* refcon) {
    return Dispatch(kCommand, ByHostRefcon(CallbackKind::CommandHandler, refcon),
                    [=](PyObject* callable, const EntryMatch& match) {
                        return Convert<int>(CallWith(callable, Handle(command), Int(phase), match.RefconArgument()));
                    });
}

namespace {
// The widget messages being handed to scripts right now, innermost last: the structures
// their parameters point to are alive exactly as long as their frame.
std::vector<WidgetMessageFrame> widgetFrames;
// How many xpMsg_Destroy messages scripts are sending right now.
int scriptSentDestroys = 0;

struct WidgetFrameGuard {
    explicit WidgetFrameGuard(const WidgetMessageFrame& frame) { widgetFrames.push_back(frame); }
    ~WidgetFrameGuard() { widgetFrames.pop_back(); }
    WidgetFrameGuard(const WidgetFrameGuard&) = delete;
    WidgetFrameGuard& operator=(const WidgetFrameGuard&) = delete;
};

// One script's callable for the widget; nothing when it may not have the message.
std::optional<int> OfferWidgetMessage(const ScriptRegistry::WidgetTarget& target, bool first,
                                      XPWidgetMessage message, XPWidgetID widget, intptr_t param1, intptr_t param2) {
    // An earlier callable may have removed this one or disabled its owner.
    if (!registry) return std::nullopt;
    if (!first && !registry->HoldsWidgetCallable(widget, target.key.get(), target.callable.get())) return std::nullopt;
    const ScriptRecord* record = registry->FindRecord(target.key.get());
    if (!record || record->enabled == 0) return std::nullopt;
    OwnerScope owner(target.key.get());
    auto call = [&] {
        return Convert<int>(
            CallWith(target.callable.get(), Int(message), Handle(widget), WideInt(param1), WideInt(param2)));
    };
    std::optional<int> result =
        profile::Enabled() ? profile::Timed(target.key.get(), kWidget.function, call) : call();
    KeepOutputCaptured(target.key.get());
    if (result) return result;
    ReportFailedCall(target.key.get(), target.callable.get(), kWidget.function, kWidget.resultUsed);
    return kWidget.failed;
}
}  // namespace

PyObject* DispatchingOwner() { return dispatchingOwner; }

ScriptSentMessage::ScriptSentMessage(XPWidgetMessage message) : destroy_(message == xpMsg_Destroy) {
    if (destroy_) ++scriptSentDestroys;
}

ScriptSentMessage::~ScriptSentMessage() {
    if (destroy_) --scriptSentDestroys;
}

bool IsWidgetMessageParameter(std::initializer_list<XPWidgetMessage> messages, int which, intptr_t value) {
    for (const WidgetMessageFrame& frame : widgetFrames) {
        if ((which == 1 ? frame.param1 : frame.param2) != value) continue;
        for (XPWidgetMessage message : messages)
            if (frame.message == message) return true;
    }
    return false;
}

void GreetAddedWidgetCallable(XPWidgetID widget, PyObject* key, PyObject* callable) {
    if (!registry) return;
    WidgetFrameGuard frame({xpMsg_Create, 1, 0});
    OfferWidgetMessage({PyRef::Borrow(key), PyRef::Borrow(callable)}, true, xpMsg_Create, widget, 1, 0);
}

// Korvane's one widget function, on every widget a script gave a callable. Several
// callables may serve one widget (several scripts, or several added to it): newest
// first, each has the message until one handles it, as the host does with its own
// callback chain. A destroyed widget's entries go once its callables have had the
// message, so nothing reaches them again, even when the host reuses the handle.
namespace {
int HandWidgetMessage(const HostCall& hostCall, XPWidgetMessage message, XPWidgetID widget, intptr_t param1,
                      intptr_t param2) {
    if (!registry) return kWidget.noEntry;
    if (hostCall.NestsTooDeep()) return kWidget.failed;
    int answer = kWidget.noEntry;
    const ScriptRegistry::WidgetTargets targets = registry->FindWidgetTargets(widget);
    if (!targets.empty()) {
        WidgetFrameGuard frame({message, param1, param2});
        bool first = true;
        for (const ScriptRegistry::WidgetTarget& target : targets) {
            std::optional<int> result = OfferWidgetMessage(target, first, message, widget, param1, param2);
            first = false;
            if (!result || *result == 0) continue;
            answer = *result;
            // Every callable hears of the end of its widget.
            if (message != xpMsg_Destroy) break;
        }
    }
    if (message == xpMsg_Destroy && scriptSentDestroys == 0 && registry) {
        registry->ForgetWidget(widget);  // the entries go with the list it hands back
    }
    ReportWaitingFailures();
    return answer;
}
}  // namespace

int UserWidgetCallback(XPWidgetMessage message, XPWidgetID widget, intptr_t param1, intptr_t param2) {
    HostCall hostCall(kWidget.function);
    return WithinHostCall(kWidget.function, kWidget.failed,
                          [&] { return HandWidgetMessage(hostCall, message, widget, param1, param2); });
}

namespace {
constexpr Answers<int> kObjectLoaded{"ObjectLoadedCallback", "Cannot find method ObjectLoadedCallback\n", 0, 0, 0};
constexpr Answers<int> kLibraryEnumerator{"LibraryEnumeratorCallback",
                                          "Cannot find method LibraryEnumeratorCallback\n", 0, 0, 0};

// Nobody waits for the object any more, and nothing else would unload it.
void UnloadUnclaimed(XPLMObjectRef object, const PendingObjectLoad& load) {
    if (!object) return;
    XPLMUnloadObject(object);
    WriteLog("The object '" + load.path + "' finished loading after its script had stopped; Korvane unloaded it\n");
}
}  // namespace

bool HoldSceneryObject(PyObject* owner, XPLMObjectRef object) {
    CallbackEntry entry;
    entry.handle = object;
    entry.releaseHost = [](const CallbackEntry& held) { XPLMUnloadObject(held.handle); };
    if (registry && registry->RegistrationsOpen() && registry->AddEntry(CallbackKind::SceneryObject, owner, std::move(entry)))
        return true;
    XPLMUnloadObject(object);
    PyErr_SetString(PyExc_RuntimeError, "Korvane is stopping the interpreter and takes no new registrations");
    return false;
}

void ObjectLoadedCallback(XPLMObjectRef object, void* pendingLoad) {
    HostCall hostCall(kObjectLoaded.function);
    std::unique_ptr<PendingObjectLoad> load(static_cast<PendingObjectLoad*>(pendingLoad));
    // The owner is only touched once its record shows it alive; the load is its entry's handle.
    PyRef owner;
    std::optional<CallbackEntry> taken;
    if (registry && !load->abandoned && registry->FindRecord(load->owner)) {
        owner = PyRef::Borrow(load->owner);
        taken = registry->RemoveByHandle(CallbackKind::ObjectLoad, owner.get(), load.get());
    }
    if (!taken) {
        UnloadUnclaimed(object, *load);
        return;
    }
    if (object && !HoldSceneryObject(owner.get(), object)) {
        PyErr_Clear();
        object = nullptr;
    }
    Dispatch(
        kObjectLoaded,
        [&] {
            const ScriptRecord* record = registry->FindRecord(owner.get());
            return EntryMatch{owner.get(), taken->callable.get(), taken->refcon, taken->refconObject.get(),
                              record ? record->enabled : 1};
        },
        [&](PyObject* callable, const EntryMatch& match) {
            return Ignore(CallWith(callable, object ? Handle(object) : PyRef::Borrow(Py_None), match.RefconArgument()));
        });
}

void LibraryEnumeratorCallback(const char* filePath, void* refcon) {
    Dispatch(kLibraryEnumerator, ByHostRefcon(CallbackKind::ObjectEnumerator, refcon),
             [=](PyObject* callable, const EntryMatch& match) {
                 PyRef path = filePath ? PyRef::Steal(PyUnicode_DecodeUTF8(filePath, static_cast<Py_ssize_t>(
                                                                                           std::strlen(filePath)),
                                                                         "surrogateescape"))
                                       : PyRef::Borrow(Py_None);
                 return Ignore(CallWith(callable, std::move(path), match.RefconArgument()));
             });
}

}  // namespace korvane::dispatch

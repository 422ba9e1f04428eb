#pragma once
// What every binding module shares: module creation, argument conversion, result
// lists, sequences and the registration helpers. A module file holds only what is
// particular to its own functions.
#include "core/exception_barrier.h"
#include "core/host_text.h"
#include "core/py_ref.h"
#include "registry/script_registry.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <vector>

namespace korvane::binding {

struct IntConstant {
    const char* name;
    long value;
};

// A string literal as a template argument, so that doc strings can be joined at
// compile time.
template <std::size_t N>
struct Literal {
    char chars[N]{};
    constexpr Literal(const char (&text)[N]) { std::copy_n(text, N, chars); }
    constexpr std::size_t size() const { return N - 1; }
};

// A function's doc string in the form CPython reads a text signature from:
// "NAME(ARGS, /)\n--\n\nDOC". `__text_signature__` then gives "(ARGS, /)" and
// `__doc__` exactly DOC. The arguments are positional only, as METH_VARARGS takes them.
template <Literal Name, Literal Arguments, Literal Doc>
struct SignedDoc {
    static constexpr std::string_view kOpen = "(";
    static constexpr std::string_view kClose = Arguments.size() ? ", /)\n--\n\n" : ")\n--\n\n";
    static constexpr std::size_t kSize = Name.size() + kOpen.size() + Arguments.size() + kClose.size() + Doc.size() + 1;
    static constexpr std::array<char, kSize> kText = [] {
        std::array<char, kSize> text{};
        auto out = text.begin();
        out = std::copy_n(Name.chars, Name.size(), out);
        out = std::copy(kOpen.begin(), kOpen.end(), out);
        out = std::copy_n(Arguments.chars, Arguments.size(), out);
        out = std::copy(kClose.begin(), kClose.end(), out);
        std::copy_n(Doc.chars, Doc.size(), out);
        return text;
    }();
};

// What the interpreter calls for a binding: the binding itself, with any C++
// exception it throws turned into a Python error before it can unwind the interpreter.
template <PyCFunction Implementation>
PyObject* Guarded(PyObject* self, PyObject* args) noexcept {
    try {
        return Implementation(self, args);
    } catch (...) {
        return RaiseCaughtException();
    }
}

// One entry of a module's method table: every function is METH_VARARGS and carries
// its argument names (the SDK's parameter names, comma-separated; "" for none).
template <Literal Name, Literal Arguments, Literal Doc, PyCFunction Implementation>
constexpr PyMethodDef Function() {
    return {Name.chars, Guarded<Implementation>, METH_VARARGS, SignedDoc<Name, Arguments, Doc>::kText.data()};
}

// Makes the module importable under `name` with its functions (none for a null table)
// and its integer constants, entered in the order given. Returns a borrowed reference.
// Its functions reach the host, so each refuses with RuntimeError on any thread but the
// simulator's main thread before doing anything, and raises RecursionError when a
// callback it led to was refused for nesting too deep.
PyObject* CreateModule(const char* name, PyMethodDef* methods, std::initializer_list<IntConstant> constants = {});
// A module whose functions are safe on any thread (they route what they touch through
// the main thread themselves).
PyObject* CreateAnyThreadModule(const char* name, PyMethodDef* methods);

// "O&" converter for pointer-sized host handles (data references, windows, widgets).
// `out` points to a void*.
int ParseHandle(PyObject* object, void* out);
// A host handle as a Python int of full pointer width.
PyObject* HandleToPython(const void* handle);
// A lookup's handle: None when the host found nothing.
PyObject* HandleOrNone(const void* handle);
// Text both ways, as the core converts it (core/host_text.h).
using korvane::TextFromHost;
using korvane::TextToHost;
// "O&" converter for text a host function takes as a C string: a str or bytes as
// TextToHost gives it, refused with ValueError when it holds a NUL, which would cut it
// short at the host. `out` points to a HostText; `text` stays valid while it lives.
struct HostText {
    PyRef holder;
    const char* text = nullptr;
};
int ParseHostText(PyObject* object, void* out);
// The result of a binding whose host function returns nothing.
PyObject* ReturnOne();

// SDK functions newer than SDK 2.00 are looked up when first called rather than linked,
// so that Korvane.xpl still loads in a simulator that lacks them. Null, with
// RuntimeError naming the function and the SDK version it needs, where the host has none.
void* FindNewerSdkFunction(const char* name, const char* sdkVersion);
template <typename FunctionPointer>
FunctionPointer FindNewerSdkFunction(const char* name, const char* sdkVersion) {
    return reinterpret_cast<FunctionPointer>(FindNewerSdkFunction(name, sdkVersion));
}

// Structs a script passes in (XPLMCreateWindow_t, XPLMCreateFlightLoop_t, ...) are a
// sequence of the struct's fields in C order, without structSize. Parses the fields as
// PyArg_ParseTuple parses arguments (`format` ends in ":STRUCTNAME" for its messages);
// TypeError for anything else, before any host call.
template <typename... Out>
bool ParseStruct(PyObject* sequence, const char* format, Out... out) {
    if (!PySequence_Check(sequence) || PyUnicode_Check(sequence) || PyBytes_Check(sequence)) {
        PyErr_Format(PyExc_TypeError, "expected a sequence of the struct's fields, not %.200s",
                     Py_TYPE(sequence)->tp_name);
        return false;
    }
    PyRef fields = PyRef::Steal(PySequence_Tuple(sequence));
    return fields && PyArg_ParseTuple(fields.get(), format, out...);
}
// A callback argument: callable, or None where the host takes none (`noneAllowed`).
// TypeError naming `what` otherwise.
bool CheckCallable(PyObject* object, const char* what, bool noneAllowed = false);

// Result lists: an out-parameter is a list or None.
// Raises TypeError for anything else, before any host call is made.
bool CheckResultList(PyObject* list, const char* function);
// Stores one value: appended to an empty list, replacing item 0 otherwise; nothing for None.
// Takes the new reference `value`; false (with an error set) when it could not.
bool StoreResult(PyObject* list, PyRef value);
// Every list of a call checked at once, and an int stored as StoreResult stores.
bool CheckResultLists(std::initializer_list<PyObject*> lists, const char* function);
bool StoreInt(PyObject* list, long value);

// Sequences in: the first `limit` items (the most the host takes), or fewer where the
// sequence ends. Each raises TypeError "expected sequence" or "expected sequence of ...".
std::optional<std::vector<int>> IntsFromSequence(PyObject* sequence, Py_ssize_t limit);
std::optional<std::vector<float>> FloatsFromSequence(PyObject* sequence, Py_ssize_t limit);
// Bytes: a one-item sequence holding a str or bytes gives that text's bytes; otherwise
// every item must be an int and gives its low 8 bits. An empty sequence is refused.
std::optional<std::vector<char>> BytesFromSequence(PyObject* sequence, Py_ssize_t limit);

// Registration. Raises RuntimeError, and is false, while the interpreter stops: a
// registration then would outlive it. Functions that call the host before they add
// their entries check this first.
bool CheckRegistrationsOpen();
// Adds the entry for the calling script and returns the stored one (new, or the equal
// callable the script registered before, with `added` false); null with RuntimeError
// set while the interpreter stops. The entry's hostRefcon is what the host gets.
const CallbackEntry* RegisterEntry(CallbackKind kind, PyObject* self, CallbackEntry entry, bool* added = nullptr);
// After the host made the object an added entry stands for (a hot key, a flight loop):
// records its handle, or drops the entry, the only one of its kind without a handle,
// when the host refused.
void AttachHostHandle(CallbackKind kind, PyObject* self, void* hostRefcon, void* handle);
// Unregistration: removes the script's entry for the callable (at that placement); its
// host registration is the caller's to undo.
std::optional<CallbackEntry> UnregisterByCallable(CallbackKind kind, PyObject* self, PyObject* callable,
                                                  std::int64_t placement = 0);
// Unregistration of kinds with one shared host registration (camera): removes every
// entry of the kind the script holds; true when the host registration must go now,
// that is when no script holds an entry of the kind any more.
bool UnregisterAll(CallbackKind kind, PyObject* self);

// Widgets. Messages whose parameters point to host structures (mouse, key, reshape,
// cursor) may carry only the pointers of such a message being handled now, which the
// host reads: anything else raises ValueError before any host call.
bool CheckWidgetMessageParameters(int message, intptr_t param1, intptr_t param2, const char* function);
// Puts Korvane's widget function on the widget unless it is there already:
// the host would otherwise call it once for every time it was added.
void HookWidget(void* widget);
// Records a widget the script created, so that a stop destroys it if the script did
// not; false (the widget destroyed again, RuntimeError set) while the interpreter stops.
// `custom`: Korvane's widget function is the widget's class function. Widgets made by
// functions that take no `self` (XPCreateWidget, XPUCreateWidgets) pass null and are
// put down to the calling script.
bool TrackCreatedWidget(PyObject* self, void* widget, bool custom);
// Destroys the widget in the host, with its descendants when asked; every script's
// entries for each of them go first, so no message reaches their callables any more.
void DestroyWidgetTree(void* widget, int destroyChildren);

}  // namespace korvane::binding

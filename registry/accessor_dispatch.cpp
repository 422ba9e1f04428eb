#include "registry/accessor_dispatch.h"

#include "core/core_state.h"
#include "core/exception_barrier.h"
#include "core/host_call.h"
#include "core/host_text.h"
#include "core/output_capture.h"
#include "core/py_ref.h"
#include "core/python_errors.h"
#include "core/reporting.h"
#include "registry/dispatch_costs.h"
#include "registry/failure_report.h"
#include "registry/python_call.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <optional>

namespace korvane::dispatch {
namespace {

// What one slot tells the host when it cannot hand the call on. Writers return
// nothing; their answers are ints nobody reads.
template <typename Result>
struct Slot {
    CallbackKind kind;
    const char* function;     // the native's name, for log lines and checks
    const char* missingLine;  // logged for an entry without a callable
    Result noOwner;           // no entry, not a bound method, or its script disabled
    Result failed;            // another script's method, a failed call, or an unusable result
};

constexpr Slot<int> kGetDatai{CallbackKind::GetDatai, "GetDatai", "Cannot find method UserGetDataiCallback\n", 0, 1};
constexpr Slot<int> kSetDatai{CallbackKind::SetDatai, "SetDatai", "Cannot find method UserSetDatai_Callback\n", 0, 0};
constexpr Slot<float> kGetDataf{CallbackKind::GetDataf, "GetDataf", "Cannot find method UserGetDataf_Callback\n", 0.0f,
                                1.0f};
constexpr Slot<int> kSetDataf{CallbackKind::SetDataf, "SetDataf", "Cannot find method UserSetDataf_Callback\n", 0, 0};
constexpr Slot<double> kGetDatad{CallbackKind::GetDatad, "GetDatad", "Cannot find method UserGetDatad_Callback\n", 0.0,
                                 1.0};
constexpr Slot<int> kSetDatad{CallbackKind::SetDatad, "SetDatad", "Cannot find method UserSetDatad_Callback\n", 0, 0};
constexpr Slot<int> kGetDatavi{CallbackKind::GetDatavi, "GetDatavi", "Cannot find method UserGetDatavi_Callback\n", 0,
                               1};
constexpr Slot<int> kSetDatavi{CallbackKind::SetDatavi, "SetDatavi", "Cannot find method UserSetDatavi_Callback\n", 0,
                               0};
constexpr Slot<int> kGetDatavf{CallbackKind::GetDatavf, "GetDatavf", "Cannot find method UserGetDatavf_Callback\n", 0,
                               1};
constexpr Slot<int> kSetDatavf{CallbackKind::SetDatavf, "SetDatavf", "Cannot find method UserSetDatavf_Callback\n", 0,
                               0};
constexpr Slot<int> kGetDatab{CallbackKind::GetDatab, "GetDatab", "Cannot find method UserGetDatab_Callback\n", 0, 1};
constexpr Slot<int> kSetDatab{CallbackKind::SetDatab, "SetDatab", "Cannot find method UserSetDatab_Callback\n", 0, 0};

// The steps every slot shares: find the entry by the table's address, check the
// callable's owner, call, and fall back to the slot's answers. `call` gives nothing
// (with a Python error set) when the call or its conversions failed.
template <typename Result, typename Call>
Result CallAccessor(const HostCall& hostCall, const Slot<Result>& slot, void* table, Call call) {
    // The registry is emptied before the interpreter stops, so it answers for it too.
    if (!registry) return slot.noOwner;
    if (hostCall.NestsTooDeep()) return slot.failed;
    // Only the address is compared: the table may have been freed since the host got it.
    EntryMatch match = registry->FindAccessor(slot.kind, table);
    if (!match.key) return slot.noOwner;
    if (!match.callable) {
        PrintPythonError();
        WriteLog(slot.missingLine);
        return slot.failed;
    }
    PyObject* owner = PyMethod_Check(match.callable) ? PyMethod_GET_SELF(match.callable) : nullptr;
    if (!owner) return slot.noOwner;
    if (owner != match.key) {
        const ScriptRecord* ownerRecord = registry->FindRecord(owner);
        return ownerRecord && ownerRecord->enabled ? slot.failed : slot.noOwner;
    }
    if (match.enabled == 0) return slot.noOwner;
    // The script may unregister this very accessor from inside the call.
    PyRef callable = PyRef::Borrow(match.callable);
    std::optional<Result> result =
        profile::Enabled() ? profile::Timed(match.key, slot.function, [&] { return call(callable.get(), match); })
                           : call(callable.get(), match);
    KeepOutputCaptured(match.key);
    if (!result) ReportFailedCall(match.key, callable.get(), slot.function, true);
    ReportWaitingFailures();
    return result ? *result : slot.failed;
}

template <typename Result, typename Call>
Result Dispatch(const Slot<Result>& slot, void* table, Call call) {
    HostCall hostCall(slot.function);
    return WithinHostCall(slot.function, slot.failed, [&] { return CallAccessor(hostCall, slot, table, call); });
}

// A whole number from a list item: an int, or a float cut towards zero; nothing for
// any other item or a value out of range. Runs no Python code and leaves no error.
std::optional<long long> WholeNumber(PyObject* item) {
    if (PyLong_Check(item)) {
        int overflow = 0;
        long long value = PyLong_AsLongLongAndOverflow(item, &overflow);
        if (overflow != 0) return std::nullopt;
        return value;
    }
    if (PyFloat_Check(item)) {
        double value = std::trunc(PyFloat_AS_DOUBLE(item));
        if (value >= static_cast<double>(LLONG_MIN) && value < static_cast<double>(LLONG_MAX))  // refuses NaN too
            return static_cast<long long>(value);
    }
    return std::nullopt;
}

int IntItem(PyObject* item) {
    std::optional<long long> value = WholeNumber(item);
    return value && *value >= INT_MIN && *value <= INT_MAX ? static_cast<int>(*value) : -1;
}

float FloatItem(PyObject* item) {
    if (PyFloat_Check(item)) return static_cast<float>(PyFloat_AS_DOUBLE(item));
    if (!PyLong_Check(item)) return -1.0f;
    double value = PyLong_AsDouble(item);
    if (value == -1.0 && PyErr_Occurred()) {
        PyErr_Clear();  // too large for a double: no usable value
        return -1.0f;
    }
    return static_cast<float>(value);
}

char ByteItem(PyObject* item) {
    std::optional<long long> value = WholeNumber(item);
    return static_cast<char>(value ? (*value & 0xFF) : 0xFF);
}

// Moves what a reader appended into the host's buffer, never past `max` positions.
// Arrays: every position, -1 where the list has no usable item.
bool Fill(PyObject* list, int* values, int max) {
    Py_ssize_t size = PyList_GET_SIZE(list);
    for (int i = 0; i < max; ++i) values[i] = i < size ? IntItem(PyList_GET_ITEM(list, i)) : -1;
    return true;
}

bool Fill(PyObject* list, float* values, int max) {
    Py_ssize_t size = PyList_GET_SIZE(list);
    for (int i = 0; i < max; ++i) values[i] = i < size ? FloatItem(PyList_GET_ITEM(list, i)) : -1.0f;
    return true;
}

// Bytes: a text as item 0 is copied with its zero byte, cut to the buffer when it does
// not fit; otherwise one byte per item as for arrays. An empty list writes nothing.
bool Fill(PyObject* list, char* bytes, int maxLength) {
    Py_ssize_t size = PyList_GET_SIZE(list);
    if (size == 0) return true;
    PyObject* first = PyList_GET_ITEM(list, 0);
    if (PyUnicode_Check(first) || PyBytes_Check(first)) {
        PyRef holder;
        std::optional<std::string_view> text = TextToHost(first, holder);
        if (!text) return false;
        std::size_t room = static_cast<std::size_t>(std::max(maxLength, 0));
        std::size_t copied = std::min(text->size(), room);
        std::memcpy(bytes, text->data(), copied);
        if (copied < room) bytes[copied] = '\0';
        return true;
    }
    for (int i = 0; i < maxLength; ++i) bytes[i] = i < size ? ByteItem(PyList_GET_ITEM(list, i)) : '\xff';
    return true;
}

// The reading array slots: the reader appends to a new list, or gets None when the host
// only asks for the size (null buffer); its result is the count.
template <typename Element>
std::optional<int> ReadArray(PyObject* callable, PyRef refcon, Element* values, int offset, int max) {
    PyRef list = values ? PyRef::Steal(PyList_New(0)) : PyRef::Borrow(Py_None);
    if (!list) return std::nullopt;
    std::optional<int> count =
        Convert<int>(CallWith(callable, std::move(refcon), PyRef::Borrow(list.get()), Int(offset), Int(max)));
    if (count && values && !Fill(list.get(), values, max)) return std::nullopt;
    return count;
}

// The writing array slots: the host's values as a list; a null buffer gives an empty one.
template <typename Element, typename MakeItem>
PyRef ListFromBuffer(const Element* values, int count, MakeItem makeItem) {
    Py_ssize_t size = values && count > 0 ? count : 0;
    PyRef list = PyRef::Steal(PyList_New(size));
    if (!list) return list;
    for (Py_ssize_t i = 0; i < size; ++i) {
        PyObject* item = makeItem(values[i]);
        if (!item) return PyRef();
        PyList_SET_ITEM(list.get(), i, item);  // steals the item
    }
    return list;
}

PyObject* IntObject(int value) { return PyLong_FromLong(value); }
PyObject* FloatObject(float value) { return PyFloat_FromDouble(value); }
// Bytes reach Python as signed 8-bit values, as they always have.
PyObject* ByteObject(signed char value) { return PyLong_FromLong(value); }

template <typename Element, typename MakeItem>
std::optional<int> WriteArray(PyObject* callable, PyRef refcon, const Element* values, int offset, int count,
                              MakeItem makeItem) {
    return Ignore(
        CallWith(callable, std::move(refcon), ListFromBuffer(values, count, makeItem), Int(offset), Int(count)));
}

}  // namespace

int GetDatai(void* table) {
    return Dispatch(kGetDatai, table, [](PyObject* callable, const EntryMatch& match) {
        return Convert<int>(CallWith(callable, match.RefconArgument()));
    });
}

void SetDatai(void* table, int value) {
    Dispatch(kSetDatai, table, [=](PyObject* callable, const EntryMatch& match) {
        return Ignore(CallWith(callable, match.RefconArgument(), Int(value)));
    });
}

float GetDataf(void* table) {
    return Dispatch(kGetDataf, table, [](PyObject* callable, const EntryMatch& match) {
        return Convert<float>(CallWith(callable, match.RefconArgument()));
    });
}

void SetDataf(void* table, float value) {
    Dispatch(kSetDataf, table, [=](PyObject* callable, const EntryMatch& match) {
        return Ignore(CallWith(callable, match.RefconArgument(), Float(value)));
    });
}

double GetDatad(void* table) {
    return Dispatch(kGetDatad, table, [](PyObject* callable, const EntryMatch& match) {
        return Convert<double>(CallWith(callable, match.RefconArgument()));
    });
}

void SetDatad(void* table, double value) {
    Dispatch(kSetDatad, table, [=](PyObject* callable, const EntryMatch& match) {
        return Ignore(CallWith(callable, match.RefconArgument(), Float(value)));
    });
}

int GetDatavi(void* table, int* values, int offset, int max) {
    return Dispatch(kGetDatavi, table, [=](PyObject* callable, const EntryMatch& match) {
        return ReadArray(callable, match.RefconArgument(), values, offset, max);
    });
}

void SetDatavi(void* table, int* values, int offset, int count) {
    Dispatch(kSetDatavi, table, [=](PyObject* callable, const EntryMatch& match) {
        return WriteArray(callable, match.RefconArgument(), values, offset, count, IntObject);
    });
}

int GetDatavf(void* table, float* values, int offset, int max) {
    return Dispatch(kGetDatavf, table, [=](PyObject* callable, const EntryMatch& match) {
        return ReadArray(callable, match.RefconArgument(), values, offset, max);
    });
}

void SetDatavf(void* table, float* values, int offset, int count) {
    Dispatch(kSetDatavf, table, [=](PyObject* callable, const EntryMatch& match) {
        return WriteArray(callable, match.RefconArgument(), values, offset, count, FloatObject);
    });
}

int GetDatab(void* table, void* bytes, int offset, int maxLength) {
    return Dispatch(kGetDatab, table, [=](PyObject* callable, const EntryMatch& match) {
        return ReadArray(callable, match.RefconArgument(), static_cast<char*>(bytes), offset, maxLength);
    });
}

void SetDatab(void* table, void* bytes, int offset, int length) {
    Dispatch(kSetDatab, table, [=](PyObject* callable, const EntryMatch& match) {
        return WriteArray(callable, match.RefconArgument(), static_cast<const signed char*>(bytes), offset, length,
                          ByteObject);
    });
}

}  // namespace korvane::dispatch

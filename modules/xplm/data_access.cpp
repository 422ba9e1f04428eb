// XPLMDataAccess: finding, reading and writing data references, publishing a
// script's own through accessor methods, and sharing named data.
#include "core/core_state.h"
#include "modules/xplm/binding.h"
#include "modules/xplm/initialisers.h"
#include "registry/accessor_dispatch.h"
#include "registry/callback_dispatch.h"

#include <XPLMDataAccess.h>

#include <algorithm>
#include <array>
#include <vector>

namespace korvane {
namespace {

PyObject* FindDataRef(PyObject*, PyObject* args) {
    const char* name = nullptr;
    if (!PyArg_ParseTuple(args, "s:XPLMFindDataRef", &name)) return nullptr;
    return binding::HandleOrNone(XPLMFindDataRef(name));
}

PyObject* ToPython(int value) { return PyLong_FromLong(value); }
PyObject* ToPython(float value) { return PyFloat_FromDouble(value); }
PyObject* ToPython(double value) { return PyFloat_FromDouble(value); }

// The functions that take only a data reference and answer with the host's value.
template <auto Read>
PyObject* ReadWithHandle(PyObject* args, const char* format) {
    void* ref = nullptr;
    if (!PyArg_ParseTuple(args, format, binding::ParseHandle, &ref)) return nullptr;
    return ToPython(Read(ref));
}

// The scalar setters: a data reference and one value of the setter's type.
template <typename Value, void (*Write)(XPLMDataRef, Value)>
bool WriteWithHandle(PyObject* args, const char* format) {
    void* ref = nullptr;
    Value value{};
    if (!PyArg_ParseTuple(args, format, binding::ParseHandle, &ref, &value)) return false;
    Write(ref, value);
    return true;
}

PyObject* CanWriteDataRef(PyObject*, PyObject* args) {
    return ReadWithHandle<XPLMCanWriteDataRef>(args, "O&:XPLMCanWriteDataRef");
}
PyObject* IsDataRefGood(PyObject*, PyObject* args) {
    return ReadWithHandle<XPLMIsDataRefGood>(args, "O&:XPLMIsDataRefGood");
}
PyObject* GetDataRefTypes(PyObject*, PyObject* args) {
    return ReadWithHandle<XPLMGetDataRefTypes>(args, "O&:XPLMGetDataRefTypes");
}
PyObject* GetDatai(PyObject*, PyObject* args) { return ReadWithHandle<XPLMGetDatai>(args, "O&:XPLMGetDatai"); }
PyObject* GetDataf(PyObject*, PyObject* args) { return ReadWithHandle<XPLMGetDataf>(args, "O&:XPLMGetDataf"); }
PyObject* GetDatad(PyObject*, PyObject* args) { return ReadWithHandle<XPLMGetDatad>(args, "O&:XPLMGetDatad"); }

PyObject* SetDatai(PyObject*, PyObject* args) {
    return WriteWithHandle<int, XPLMSetDatai>(args, "O&i:XPLMSetDatai") ? binding::ReturnOne() : nullptr;
}
PyObject* SetDataf(PyObject*, PyObject* args) {
    return WriteWithHandle<float, XPLMSetDataf>(args, "O&f:XPLMSetDataf") ? binding::ReturnOne() : nullptr;
}
PyObject* SetDatad(PyObject*, PyObject* args) {
    // The one setter that has always answered with a float.
    return WriteWithHandle<double, XPLMSetDatad>(args, "O&d:XPLMSetDatad") ? PyFloat_FromDouble(1.0) : nullptr;
}

// The arguments of the array readers and setters: ref, list or sequence, offset, count or max.
struct ArrayArgs {
    void* ref = nullptr;
    PyObject* values = nullptr;
    int offset = 0;
    int count = 0;
};

bool ParseArrayArgs(PyObject* args, const char* format, ArrayArgs& parsed) {
    return PyArg_ParseTuple(args, format, binding::ParseHandle, &parsed.ref, &parsed.values, &parsed.offset,
                            &parsed.count) != 0;
}

// A negative offset or max from a script is refused before the host hears of it.
bool CheckNotNegative(const char* function, const char* what, int value) {
    if (value >= 0) return true;
    PyErr_Format(PyExc_ValueError, "%s() %s must not be negative, not %d", function, what, value);
    return false;
}

// The array readers: None asks for the array's size; a list gets the values appended.
// Whoever serves the data (the host, another plug-in's accessor) may write up to the
// max it is given, so it is given no more than the size it reported, and the buffer
// holds that many plus `spare` elements (the byte string's terminator).
template <typename Element, typename Read, typename Append>
PyObject* ReadArray(PyObject* args, const char* format, const char* function, Read read, std::size_t spare,
                    Append append) {
    ArrayArgs parsed;
    if (!ParseArrayArgs(args, format, parsed) || !binding::CheckResultList(parsed.values, function) ||
        !CheckNotNegative(function, "max", parsed.count) || !CheckNotNegative(function, "offset", parsed.offset))
        return nullptr;
    int size = read(parsed.ref, nullptr, parsed.offset, parsed.count);
    if (parsed.values == Py_None) return PyLong_FromLong(size);
    int max = std::clamp(size, 0, parsed.count);
    // Never empty: a null buffer would make the host answer with the size again.
    std::vector<Element> buffer(static_cast<std::size_t>(std::max(max, 1)) + spare);
    int copied = read(parsed.ref, buffer.data(), parsed.offset, max);
    // Only what the host may have written counts, whatever number it reports.
    int valid = std::clamp(copied, 0, max);
    if (!append(parsed.values, buffer.data(), valid)) return nullptr;
    return PyLong_FromLong(copied);
}

template <typename Element, typename MakeItem>
bool AppendEach(PyObject* list, const Element* values, int count, MakeItem makeItem) {
    for (int i = 0; i < count; ++i) {
        PyRef item = PyRef::Steal(makeItem(values[i]));
        if (!item || PyList_Append(list, item.get()) < 0) return false;
    }
    return true;
}

PyObject* GetDatavi(PyObject*, PyObject* args) {
    return ReadArray<int>(args, "O&Oii:XPLMGetDatavi", "XPLMGetDatavi", XPLMGetDatavi, 0,
                          [](PyObject* list, const int* values, int count) {
                              return AppendEach(list, values, count, [](int value) { return PyLong_FromLong(value); });
                          });
}

PyObject* GetDatavf(PyObject*, PyObject* args) {
    return ReadArray<float>(args, "O&Oii:XPLMGetDatavf", "XPLMGetDatavf", XPLMGetDatavf, 0,
                            [](PyObject* list, const float* values, int count) {
                                return AppendEach(list, values, count,
                                                  [](float value) { return PyFloat_FromDouble(value); });
                            });
}

PyObject* GetDatab(PyObject*, PyObject* args) {
    auto read = [](void* ref, char* bytes, int offset, int max) { return XPLMGetDatab(ref, bytes, offset, max); };
    // One text: the bytes up to the first zero byte.
    return ReadArray<char>(args, "O&Oii:XPLMGetDatab", "XPLMGetDatab", read, 1,
                           [](PyObject* list, const char* bytes, int count) {
                               Py_ssize_t length = std::find(bytes, bytes + count, '\0') - bytes;
                               PyRef text = PyRef::Steal(binding::TextFromHost(bytes, length));
                               return text && PyList_Append(list, text.get()) == 0;
                           });
}

// The array setters send no more values than the sequence holds, and never a negative count.
template <typename Element, typename Convert, typename Write>
PyObject* WriteArray(PyObject* args, const char* format, const char* function, Convert convert, Write write) {
    ArrayArgs parsed;
    if (!ParseArrayArgs(args, format, parsed) || !CheckNotNegative(function, "offset", parsed.offset)) return nullptr;
    // No more items are read than the host is to get.
    std::optional<std::vector<Element>> values = convert(parsed.values, std::max(parsed.count, 0));
    if (!values) return nullptr;
    int count = std::clamp(parsed.count, 0, static_cast<int>(values->size()));
    write(parsed.ref, values->data(), parsed.offset, count);
    return binding::ReturnOne();
}

PyObject* SetDatavi(PyObject*, PyObject* args) {
    return WriteArray<int>(args, "O&Oii:XPLMSetDatavi", "XPLMSetDatavi", binding::IntsFromSequence, XPLMSetDatavi);
}

PyObject* SetDatavf(PyObject*, PyObject* args) {
    return WriteArray<float>(args, "O&Oii:XPLMSetDatavf", "XPLMSetDatavf", binding::FloatsFromSequence, XPLMSetDatavf);
}

// Bytes are zero-padded up to the count the script asked for, with no fixed cap, but
// no further than the data reaches from the offset (the host's size query tells): a
// huge count costs nothing beyond the data's own size.
PyObject* SetDatab(PyObject*, PyObject* args) {
    ArrayArgs parsed;
    if (!ParseArrayArgs(args, "O&Oii:XPLMSetDatab", parsed) ||
        !CheckNotNegative("XPLMSetDatab", "offset", parsed.offset))
        return nullptr;
    // At least one byte is read, so the host never gets a null buffer.
    std::optional<std::vector<char>> bytes = binding::BytesFromSequence(parsed.values, std::max(parsed.count, 1));
    if (!bytes) return nullptr;
    std::size_t given = bytes->size();
    std::size_t count = static_cast<std::size_t>(std::max(parsed.count, 0));
    if (count > given) {
        int size = XPLMGetDatab(parsed.ref, nullptr, 0, 0);
        std::size_t room = size > parsed.offset ? static_cast<std::size_t>(size - parsed.offset) : 0;
        count = std::min(count, std::max(given, room));
        bytes->resize(count, '\0');
    }
    XPLMSetDatab(parsed.ref, bytes->data(), parsed.offset, static_cast<int>(count));
    return binding::ReturnOne();
}

// The host's accessor slots, in its order; the script's callables come in the same order.
constexpr std::array<CallbackKind, 12> kAccessorSlots = {
    CallbackKind::GetDatai,  CallbackKind::SetDatai,  CallbackKind::GetDataf,  CallbackKind::SetDataf,
    CallbackKind::GetDatad,  CallbackKind::SetDatad,  CallbackKind::GetDatavi, CallbackKind::SetDatavi,
    CallbackKind::GetDatavf, CallbackKind::SetDatavf, CallbackKind::GetDatab,  CallbackKind::SetDatab,
};

bool IsWriterSlot(std::size_t index) { return index % 2 == 1; }

PyObject* RegisterDataAccessor(PyObject*, PyObject* args) {
    PyObject* self = nullptr;
    const char* name = nullptr;
    int type = 0;
    int writable = 0;
    std::array<PyObject*, 12> callables{};
    long readRefcon = 0;
    long writeRefcon = 0;
    if (!PyArg_ParseTuple(args, "OsiiOOOOOOOOOOOOll:XPLMRegisterDataAccessor", &self, &name, &type, &writable,
                          &callables[0], &callables[1], &callables[2], &callables[3], &callables[4], &callables[5],
                          &callables[6], &callables[7], &callables[8], &callables[9], &callables[10],
                          &callables[11], &readRefcon, &writeRefcon))
        return nullptr;
    if (!binding::CheckRegistrationsOpen()) return nullptr;
    // The tables are the host's refcons; the accessor's entries own them.
    auto readTable = std::make_shared<AccessorTable>();
    auto writeTable = std::make_shared<AccessorTable>();

    XPLMDataRef ref = XPLMRegisterDataAccessor(
        name, type, writable, dispatch::GetDatai, dispatch::SetDatai, dispatch::GetDataf, dispatch::SetDataf,
        dispatch::GetDatad, dispatch::SetDatad, dispatch::GetDatavi, dispatch::SetDatavi, dispatch::GetDatavf,
        dispatch::SetDatavf, dispatch::GetDatab, dispatch::SetDatab, readTable.get(), writeTable.get());
    if (!ref) Py_RETURN_NONE;

    for (std::size_t i = 0; i < callables.size(); ++i) {
        CallbackEntry entry;
        entry.callable = PyRef::Borrow(callables[i]);
        entry.refcon = IsWriterSlot(i) ? writeRefcon : readRefcon;
        entry.handle = ref;
        entry.table = IsWriterSlot(i) ? writeTable : readTable;
        // One entry carries the undo, so that a stop unregisters the accessor once.
        if (i == 0) entry.releaseHost = [ref](const CallbackEntry&) { XPLMUnregisterDataAccessor(ref); };
        binding::RegisterEntry(kAccessorSlots[i], self, std::move(entry));
    }
    return binding::HandleToPython(ref);
}

// Only the script that published the data reference can withdraw it: another script's
// handle, or one already withdrawn, changes nothing in the host.
PyObject* UnregisterDataAccessor(PyObject*, PyObject* args) {
    PyObject* self = nullptr;
    void* ref = nullptr;
    if (!PyArg_ParseTuple(args, "OO&:XPLMUnregisterDataAccessor", &self, binding::ParseHandle, &ref)) return nullptr;
    if (!registry) return binding::ReturnOne();
    std::vector<CallbackEntry> removed;
    for (CallbackKind slot : kAccessorSlots)
        if (std::optional<CallbackEntry> entry = registry->RemoveByHandle(slot, self, ref))
            removed.push_back(std::move(*entry));
    // The host lets go of the tables before the entries (and with them the tables) go.
    for (CallbackEntry& entry : removed)
        entry.ReleaseHost();
    return binding::ReturnOne();
}

struct ShareArgs {
    PyObject* self = nullptr;
    const char* name = nullptr;
    int type = 0;
    PyObject* callable = nullptr;
    long refcon = 0;
};

bool ParseShareArgs(PyObject* args, const char* format, ShareArgs& parsed) {
    return PyArg_ParseTuple(args, format, &parsed.self, &parsed.name, &parsed.type, &parsed.callable,
                            &parsed.refcon) != 0;
}

void UnshareAll(const CallbackEntry& entry) {
    for (const SharedName& shared : *entry.sharedNames)
        XPLMUnshareData(shared.name.c_str(), shared.type, dispatch::UserSharedDataCallback, entry.hostRefcon);
    entry.sharedNames->clear();
}

// The script's shared-data entry for the callable, made on its first share. One entry
// serves every name shared with that callable; the host holds one registration per
// name, all with the entry's host refcon.
PyObject* ShareData(PyObject*, PyObject* args) {
    ShareArgs share;
    if (!ParseShareArgs(args, "OsiOl:XPLMShareData", share)) return nullptr;
    CallbackEntry entry;
    entry.callable = PyRef::Borrow(share.callable);
    entry.refcon = share.refcon;
    entry.sharedNames = std::make_shared<std::vector<SharedName>>();
    entry.releaseHost = UnshareAll;
    const CallbackEntry* stored = binding::RegisterEntry(CallbackKind::SharedData, share.self, std::move(entry));
    if (!stored) return nullptr;
    // The host may notify sharers at once, and their Python code may change the registry.
    std::shared_ptr<std::vector<SharedName>> names = stored->sharedNames;
    int result = XPLMShareData(share.name, share.type, dispatch::UserSharedDataCallback, stored->hostRefcon);
    // A refused share (another type under that name) leaves nothing to undo.
    if (result) names->push_back({share.name, share.type});
    return PyLong_FromLong(result);
}

// Undoes the share of that name with that callable, passing the host the refcon the
// share used; the entry goes with its last name. A share the script does not hold is
// not sent to the host and answers 0, as the host answers for a share it does not know.
PyObject* UnshareData(PyObject*, PyObject* args) {
    ShareArgs share;
    if (!ParseShareArgs(args, "OsiOl:XPLMUnshareData", share)) return nullptr;
    const CallbackEntry* stored =
        registry ? registry->FindEntry(CallbackKind::SharedData, share.self, share.callable) : nullptr;
    if (!stored) return PyLong_FromLong(0);
    std::vector<SharedName>& names = *stored->sharedNames;
    auto shared = std::find_if(names.begin(), names.end(), [&](const SharedName& name) {
        return name.name == share.name && name.type == share.type;
    });
    int result = 0;
    if (shared != names.end()) {
        names.erase(shared);
        result = XPLMUnshareData(share.name, share.type, dispatch::UserSharedDataCallback, stored->hostRefcon);
    }
    if (names.empty()) registry->RemoveByCallable(CallbackKind::SharedData, share.self, share.callable);
    return PyLong_FromLong(result);
}

PyMethodDef kMethods[] = {
    binding::Function<"XPLMFindDataRef", "inDataRefName", "Find Dataref.", FindDataRef>(),
    binding::Function<"XPLMCanWriteDataRef", "inDataRef", "Test for writable Dataref.", CanWriteDataRef>(),
    binding::Function<"XPLMIsDataRefGood", "inDataRef",
                      "Is the Dataref good: 1 while its owner still serves it.", IsDataRefGood>(),
    binding::Function<"XPLMGetDataRefTypes", "inDataRef", "Get the Dataref Type.", GetDataRefTypes>(),
    binding::Function<"XPLMGetDatai", "inDataRef", "Get Integer Dataref.", GetDatai>(),
    binding::Function<"XPLMSetDatai", "inDataRef, inValue", "Set Integer Dataref.", SetDatai>(),
    binding::Function<"XPLMGetDataf", "inDataRef", "Get Float Dataref.", GetDataf>(),
    binding::Function<"XPLMSetDataf", "inDataRef, inValue", "Set Float Dataref.", SetDataf>(),
    binding::Function<"XPLMGetDatad", "inDataRef", "Get Double Dataref.", GetDatad>(),
    binding::Function<"XPLMSetDatad", "inDataRef, inValue", "Set Double Dataref.", SetDatad>(),
    binding::Function<"XPLMGetDatavi", "inDataRef, outValues, inOffset, inMax",
                      "Get Integer Array Dataref.", GetDatavi>(),
    binding::Function<"XPLMSetDatavi", "inDataRef, inValues, inoffset, inCount",
                      "Set Integer Array Dataref.", SetDatavi>(),
    binding::Function<"XPLMGetDatavf", "inDataRef, outValues, inOffset, inMax", "Get Float Array Dataref.", GetDatavf>(),
    binding::Function<"XPLMSetDatavf", "inDataRef, inValues, inoffset, inCount", "Set Float Array Dataref.", SetDatavf>(),
    binding::Function<"XPLMGetDatab", "inDataRef, outValue, inOffset, inMaxBytes", "Get Byte Array Dataref.", GetDatab>(),
    binding::Function<"XPLMSetDatab", "inDataRef, inValue, inOffset, inLength", "Set Byte Array Dataref.", SetDatab>(),
    binding::Function<"XPLMRegisterDataAccessor",
                      "self, inDataName, inDataType, inIsWritable, inReadInt, inWriteInt, inReadFloat, "
                      "inWriteFloat, inReadDouble, inWriteDouble, inReadIntArray, inWriteIntArray, "
                      "inReadFloatArray, inWriteFloatArray, inReadData, inWriteData, inReadRefcon, inWriteRefcon",
                      "Register data accessor.", RegisterDataAccessor>(),
    binding::Function<"XPLMUnregisterDataAccessor", "self, inDataRef",
                      "Unregister data accessor.", UnregisterDataAccessor>(),
    binding::Function<"XPLMShareData", "self, inDataName, inDataType, inNotificationFunc, inNotificationRefcon",
                      "Share Data.", ShareData>(),
    binding::Function<"XPLMUnshareData", "self, inDataName, inDataType, inNotificationFunc, inNotificationRefcon",
                      "Unshare Data.", UnshareData>(),
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

PyObject* InitXPLMDataAccess() {
    return binding::CreateModule("XPLMDataAccess", kMethods,
                                 {
                                     {"xplmType_Unknown", xplmType_Unknown},
                                     {"xplmType_Int", xplmType_Int},
                                     {"xplmType_Float", xplmType_Float},
                                     {"xplmType_Double", xplmType_Double},
                                     {"xplmType_FloatArray", xplmType_FloatArray},
                                     {"xplmType_IntArray", xplmType_IntArray},
                                     {"xplmType_Data", xplmType_Data},
                                 });
}

}  // namespace korvane

// XPLMDataAccess as the headless host serves it: data references it holds itself,
// ones other plug-ins publish through accessors, and shared data.
#include "host/host_state.h"

#include <XPLMDataAccess.h>
#include <XPLMUtilities.h>

#include <algorithm>
#include <cstdint>
#include <string>

using namespace korvane::host;

namespace {

// A handle the host never gave out is treated like a null one, so a script's stray
// integer cannot crash the simulator stand-in.
DataRefRecord* Record(XPLMDataRef ref) {
    return State().dataRefHandles.contains(ref) ? static_cast<DataRefRecord*>(ref) : nullptr;
}

bool Has(const DataRefRecord* record, XPLMDataTypeID type) { return record && (record->types & type); }

// Tells every plug-in sharing the data that its value changed.
void NotifySharers(DataRefRecord& record) {
    std::vector<Sharer> sharers = record.sharers;  // a sharer may unshare from its callback
    for (const Sharer& sharer : sharers)
        if (sharer.notify) sharer.notify(sharer.refcon);
}

bool Writable(const DataRefRecord* record) { return record && record->writable; }

// As in the simulator, a write to a read-only reference changes nothing; the log says
// so once per reference, so that a script writing every frame does not flood it.
void LogReadOnlyWrite(DataRefRecord& record) {
    if (record.readOnlyWriteLogged) return;
    record.readOnlyWriteLogged = true;
    XPLMDebugString(("Data reference '" + record.name + "' is read-only; the write was ignored.\n").c_str());
}

// A read goes to the publishing plug-in's accessor when one serves the reference,
// else to the host's own value; a reference without the type reads as zero.
template <typename Result, typename Getter, typename Own, typename... Args>
Result Read(XPLMDataRef ref, XPLMDataTypeID type, Getter Accessors::*getter, Own own, Args... args) {
    DataRefRecord* record = Record(ref);
    if (!Has(record, type)) return Result{};
    if (!record->published) return own(*record);
    Getter get = record->accessors.*getter;
    return get ? get(record->accessors.readRefcon, args...) : Result{};
}

// A write goes the same two ways; a change to the host's own value tells the sharers.
template <typename Setter, typename Own, typename... Args>
void Write(XPLMDataRef ref, XPLMDataTypeID type, Setter Accessors::*setter, Own own, Args... args) {
    DataRefRecord* record = Record(ref);
    if (!Has(record, type)) return;
    if (!Writable(record)) {
        LogReadOnlyWrite(*record);
        return;
    }
    if (record->published) {
        if (Setter set = record->accessors.*setter) set(record->accessors.writeRefcon, args...);
        return;
    }
    own(*record);
    NotifySharers(*record);
}

// Writes and array reads are recorded, so that tests can tell whether, and how, a
// binding called the host; scalar reads are the hot path and are not.
std::string Describe(const DataRefRecord* record) { return record ? record->name : "unknown"; }

std::string Range(const DataRefRecord* record, int offset, int count) {
    return Describe(record) + " offset=" + std::to_string(offset) + " count=" + std::to_string(count);
}

// Array reads with the SDK's rule: a null buffer asks for the whole size.
template <typename T>
int ReadArray(const std::vector<T>& values, T* out, int offset, int max) {
    int size = static_cast<int>(values.size());
    if (!out) return size;
    if (offset < 0 || offset >= size || max <= 0) return 0;
    int count = std::min(max, size - offset);
    std::copy_n(values.begin() + offset, count, out);
    return count;
}

// Arrays the host holds grow when written past their end, as shared data does, but
// not beyond this many items: what would land further out is dropped.
constexpr std::int64_t kMaxArrayItems = std::int64_t{1} << 20;

template <typename T>
void WriteArray(std::vector<T>& values, const T* in, int offset, int count) {
    if (!in || offset < 0 || count <= 0) return;
    // In 64 bits: an offset near INT_MAX plus a count must not wrap.
    std::int64_t limit = std::max(kMaxArrayItems, static_cast<std::int64_t>(values.size()));
    std::int64_t end = std::min(std::int64_t{offset} + count, limit);
    if (end <= offset) return;
    if (static_cast<std::int64_t>(values.size()) < end) values.resize(static_cast<std::size_t>(end));
    std::copy_n(in, end - offset, values.begin() + offset);
}

}  // namespace

XPLM_API XPLMDataRef XPLMFindDataRef(const char* inDataRefName) {
    DataRefRecord* record = FindDataRefRecord(inDataRefName);
    // A published reference whose owner went away is not found, as in the simulator.
    if (!record || record->types == xplmType_Unknown) return nullptr;
    return record;
}

XPLM_API int XPLMCanWriteDataRef(XPLMDataRef ref) { return Writable(Record(ref)) ? 1 : 0; }
XPLM_API int XPLMIsDataRefGood(XPLMDataRef ref) { return Record(ref) && Record(ref)->types != xplmType_Unknown; }
XPLM_API XPLMDataTypeID XPLMGetDataRefTypes(XPLMDataRef ref) { return Record(ref) ? Record(ref)->types : 0; }

XPLM_API int XPLMGetDatai(XPLMDataRef ref) {
    return Read<int>(ref, xplmType_Int, &Accessors::getInt, [](DataRefRecord& r) { return r.intValue; });
}

XPLM_API void XPLMSetDatai(XPLMDataRef ref, int value) {
    RecordCall("XPLMSetDatai", Describe(Record(ref)) + " value=" + std::to_string(value));
    Write(ref, xplmType_Int, &Accessors::setInt, [=](DataRefRecord& r) { SetScalar(r, value); }, value);
}

XPLM_API float XPLMGetDataf(XPLMDataRef ref) {
    return Read<float>(ref, xplmType_Float, &Accessors::getFloat, [](DataRefRecord& r) { return r.floatValue; });
}

XPLM_API void XPLMSetDataf(XPLMDataRef ref, float value) {
    RecordCall("XPLMSetDataf", Describe(Record(ref)) + " value=" + std::to_string(value));
    Write(ref, xplmType_Float, &Accessors::setFloat, [=](DataRefRecord& r) { SetScalar(r, value); }, value);
}

XPLM_API double XPLMGetDatad(XPLMDataRef ref) {
    return Read<double>(ref, xplmType_Double, &Accessors::getDouble, [](DataRefRecord& r) { return r.doubleValue; });
}

XPLM_API void XPLMSetDatad(XPLMDataRef ref, double value) {
    RecordCall("XPLMSetDatad", Describe(Record(ref)) + " value=" + std::to_string(value));
    Write(ref, xplmType_Double, &Accessors::setDouble, [=](DataRefRecord& r) { SetScalar(r, value); }, value);
}

XPLM_API int XPLMGetDatavi(XPLMDataRef ref, int* outValues, int inOffset, int inMax) {
    RecordCall("XPLMGetDatavi", Range(Record(ref), inOffset, inMax) + (outValues ? "" : " size query"));
    return Read<int>(
        ref, xplmType_IntArray, &Accessors::getInts,
        [=](DataRefRecord& r) { return ReadArray(r.ints, outValues, inOffset, inMax); }, outValues, inOffset, inMax);
}

XPLM_API void XPLMSetDatavi(XPLMDataRef ref, int* inValues, int inOffset, int inCount) {
    RecordCall("XPLMSetDatavi", Range(Record(ref), inOffset, inCount));
    Write(
        ref, xplmType_IntArray, &Accessors::setInts,
        [=](DataRefRecord& r) { WriteArray(r.ints, static_cast<const int*>(inValues), inOffset, inCount); }, inValues,
        inOffset, inCount);
}

XPLM_API int XPLMGetDatavf(XPLMDataRef ref, float* outValues, int inOffset, int inMax) {
    RecordCall("XPLMGetDatavf", Range(Record(ref), inOffset, inMax) + (outValues ? "" : " size query"));
    return Read<int>(
        ref, xplmType_FloatArray, &Accessors::getFloats,
        [=](DataRefRecord& r) { return ReadArray(r.floats, outValues, inOffset, inMax); }, outValues, inOffset,
        inMax);
}

XPLM_API void XPLMSetDatavf(XPLMDataRef ref, float* inValues, int inOffset, int inCount) {
    RecordCall("XPLMSetDatavf", Range(Record(ref), inOffset, inCount));
    Write(
        ref, xplmType_FloatArray, &Accessors::setFloats,
        [=](DataRefRecord& r) { WriteArray(r.floats, static_cast<const float*>(inValues), inOffset, inCount); },
        inValues, inOffset, inCount);
}

XPLM_API int XPLMGetDatab(XPLMDataRef ref, void* outValue, int inOffset, int inMaxBytes) {
    RecordCall("XPLMGetDatab", Range(Record(ref), inOffset, inMaxBytes) + (outValue ? "" : " size query"));
    return Read<int>(
        ref, xplmType_Data, &Accessors::getBytes,
        [=](DataRefRecord& r) {
            return ReadArray(r.bytes, static_cast<std::uint8_t*>(outValue), inOffset, inMaxBytes);
        },
        outValue, inOffset, inMaxBytes);
}

XPLM_API void XPLMSetDatab(XPLMDataRef ref, void* inValue, int inOffset, int inLength) {
    RecordCall("XPLMSetDatab", Range(Record(ref), inOffset, inLength));
    Write(
        ref, xplmType_Data, &Accessors::setBytes,
        [=](DataRefRecord& r) {
            WriteArray(r.bytes, static_cast<const std::uint8_t*>(inValue), inOffset, inLength);
        },
        inValue, inOffset, inLength);
}

XPLM_API XPLMDataRef XPLMRegisterDataAccessor(const char* inDataName, XPLMDataTypeID inDataType, int inIsWritable,
                                              XPLMGetDatai_f inReadInt, XPLMSetDatai_f inWriteInt,
                                              XPLMGetDataf_f inReadFloat, XPLMSetDataf_f inWriteFloat,
                                              XPLMGetDatad_f inReadDouble, XPLMSetDatad_f inWriteDouble,
                                              XPLMGetDatavi_f inReadIntArray, XPLMSetDatavi_f inWriteIntArray,
                                              XPLMGetDatavf_f inReadFloatArray, XPLMSetDatavf_f inWriteFloatArray,
                                              XPLMGetDatab_f inReadData, XPLMSetDatab_f inWriteData,
                                              void* inReadRefcon, void* inWriteRefcon) {
    RecordCall("XPLMRegisterDataAccessor", std::string(inDataName) + " types=" + std::to_string(inDataType));
    DataRefRecord& record = DataRefNamed(inDataName);
    // As in the simulator, a name that exists (its own, shared data, or another
    // plug-in's) is not taken over; one whose publisher withdrew it is free again.
    if (record.published || record.types != xplmType_Unknown) {
        XPLMDebugString(("XPLMRegisterDataAccessor: the data reference '" + record.name +
                         "' is already registered; the registration is refused.\n")
                            .c_str());
        return nullptr;
    }
    record.types = inDataType;
    record.writable = inIsWritable != 0;
    record.published = true;
    record.accessors = {inReadInt,         inWriteInt,        inReadFloat,    inWriteFloat,
                        inReadDouble,      inWriteDouble,     inReadIntArray, inWriteIntArray,
                        inReadFloatArray,  inWriteFloatArray, inReadData,     inWriteData,
                        inReadRefcon,      inWriteRefcon};
    return &record;
}

XPLM_API void XPLMUnregisterDataAccessor(XPLMDataRef inDataRef) {
    DataRefRecord* record = Record(inDataRef);
    RecordCall("XPLMUnregisterDataAccessor", record ? record->name : "null");
    // Only what a plug-in published goes: the simulator's own references and shared data
    // are never published, since registering an existing name is refused.
    if (!record || !record->published) return;
    // The handle stays valid but reads nothing until somebody publishes the name again.
    record->published = false;
    record->accessors = {};
    record->types = xplmType_Unknown;
}

XPLM_API int XPLMShareData(const char* inDataName, XPLMDataTypeID inDataType, XPLMDataChanged_f inNotificationFunc,
                           void* inNotificationRefcon) {
    RecordCall("XPLMShareData", std::string(inDataName) + " type=" + std::to_string(inDataType) + " refcon=" +
                                    std::to_string(reinterpret_cast<std::intptr_t>(inNotificationRefcon)));
    DataRefRecord& record = DataRefNamed(inDataName);
    if (record.published || (record.types != xplmType_Unknown && record.types != inDataType)) return 0;
    record.types = inDataType;
    record.writable = true;
    record.sharers.push_back({inNotificationFunc, inNotificationRefcon});
    return 1;
}

XPLM_API int XPLMUnshareData(const char* inDataName, XPLMDataTypeID inDataType, XPLMDataChanged_f inNotificationFunc,
                             void* inNotificationRefcon) {
    RecordCall("XPLMUnshareData", std::string(inDataName) + " type=" + std::to_string(inDataType) + " refcon=" +
                                      std::to_string(reinterpret_cast<std::intptr_t>(inNotificationRefcon)));
    DataRefRecord* record = FindDataRefRecord(inDataName);
    if (!record || record->types != inDataType) return 0;
    auto& sharers = record->sharers;
    auto found = std::find_if(sharers.begin(), sharers.end(), [&](const Sharer& sharer) {
        return sharer.notify == inNotificationFunc && sharer.refcon == inNotificationRefcon;
    });
    if (found == sharers.end()) return 0;
    sharers.erase(found);
    return 1;
}

// XPLMNavigation: the navigation database, the FMS's flight plan and the GPS destination.
#include "modules/xplm/binding.h"
#include "modules/xplm/initialisers.h"

#include <XPLMNavigation.h>

#include <array>
#include <climits>

namespace korvane {
namespace {

// The binding's buffer for the host's IDs and names.
constexpr std::size_t kTextBufferSize = 1024;
using TextBuffer = std::array<char, kTextBufferSize>;

PyObject* TextResult(TextBuffer& buffer) {
    buffer.back() = '\0';  // a host that fills the whole buffer still gives a terminated text
    return binding::TextFromHost(buffer.data());
}

// FMS indices and altitudes are parsed as C longs; the host takes ints, so wider values
// are refused rather than wrapped round to some other entry or height.
bool FitsInt(const char* function, const char* what, long value, int* out) {
    if (value < INT_MIN || value > INT_MAX) {
        PyErr_Format(PyExc_ValueError, "%s() %s %ld is out of range", function, what, value);
        return false;
    }
    *out = static_cast<int>(value);
    return true;
}

// The FMS holds this many entries; an index outside them is refused before the host
// hears of it, as every index a script gives is.
constexpr long kFmsEntries = 100;

bool FmsIndex(const char* function, long value, int* out) {
    if (value < 0 || value >= kFmsEntries) {
        PyErr_Format(PyExc_ValueError, "%s() index %ld is outside the flight plan's entries 0 to %ld", function, value,
                     kFmsEntries - 1);
        return false;
    }
    *out = static_cast<int>(value);
    return true;
}

PyObject* GetFirstNavAid(PyObject*, PyObject*) { return PyLong_FromLong(XPLMGetFirstNavAid()); }

template <XPLMNavRef (*Call)(int)>
PyObject* ForwardInt(PyObject* args, const char* format) {
    int value = 0;
    if (!PyArg_ParseTuple(args, format, &value)) return nullptr;
    return PyLong_FromLong(Call(value));
}

PyObject* GetNextNavAid(PyObject*, PyObject* args) {
    return ForwardInt<XPLMGetNextNavAid>(args, "i:XPLMGetNextNavAid");
}
PyObject* FindFirstNavAidOfType(PyObject*, PyObject* args) {
    return ForwardInt<XPLMFindFirstNavAidOfType>(args, "i:XPLMFindFirstNavAidOfType");
}
PyObject* FindLastNavAidOfType(PyObject*, PyObject* args) {
    return ForwardInt<XPLMFindLastNavAidOfType>(args, "i:XPLMFindLastNavAidOfType");
}

// A search criterion: None leaves it out (the host gets a null pointer).
bool CriterionText(PyObject* object, binding::HostText& text) {
    return object == Py_None || binding::ParseHostText(object, &text);
}

bool CriterionFloat(PyObject* object, float& value, float*& pointer) {
    if (object == Py_None) return true;
    double converted = PyFloat_AsDouble(object);
    if (converted == -1.0 && PyErr_Occurred()) return false;
    value = static_cast<float>(converted);
    pointer = &value;
    return true;
}

bool CriterionFrequency(PyObject* object, int& value, int*& pointer) {
    if (object == Py_None) return true;
    long converted = PyLong_AsLong(object);
    if ((converted == -1 && PyErr_Occurred()) || !FitsInt("XPLMFindNavAid", "frequency", converted, &value))
        return false;
    pointer = &value;
    return true;
}

PyObject* FindNavAid(PyObject*, PyObject* args) {
    PyObject *nameObject = nullptr, *idObject = nullptr, *latObject = nullptr, *lonObject = nullptr,
             *frequencyObject = nullptr;
    int type = 0;
    if (!PyArg_ParseTuple(args, "OOOOOi:XPLMFindNavAid", &nameObject, &idObject, &latObject, &lonObject,
                          &frequencyObject, &type))
        return nullptr;
    binding::HostText name, id;
    float lat = 0, lon = 0;
    int frequency = 0;
    float *latPointer = nullptr, *lonPointer = nullptr;
    int* frequencyPointer = nullptr;
    if (!CriterionText(nameObject, name) || !CriterionText(idObject, id) ||
        !CriterionFloat(latObject, lat, latPointer) || !CriterionFloat(lonObject, lon, lonPointer) ||
        !CriterionFrequency(frequencyObject, frequency, frequencyPointer))
        return nullptr;
    return PyLong_FromLong(XPLMFindNavAid(name.text, id.text, latPointer, lonPointer, frequencyPointer, type));
}

template <typename T>
T* Out(PyObject* list, T& local) {
    return list == Py_None ? nullptr : &local;
}

PyObject* GetNavAidInfo(PyObject*, PyObject* args) {
    int ref = 0;
    PyObject *typeList, *latList, *lonList, *heightList, *frequencyList, *headingList, *idList, *nameList, *regList;
    if (!PyArg_ParseTuple(args, "iOOOOOOOOO:XPLMGetNavAidInfo", &ref, &typeList, &latList, &lonList, &heightList,
                          &frequencyList, &headingList, &idList, &nameList, &regList))
        return nullptr;
    for (PyObject* list :
         {typeList, latList, lonList, heightList, frequencyList, headingList, idList, nameList, regList})
        if (!binding::CheckResultList(list, "XPLMGetNavAidInfo")) return nullptr;

    XPLMNavType type = xplm_Nav_Unknown;
    float lat = 0, lon = 0, height = 0, heading = 0;
    int frequency = 0;
    TextBuffer id{}, name{};
    char reg = 0;
    XPLMGetNavAidInfo(ref, Out(typeList, type), Out(latList, lat), Out(lonList, lon), Out(heightList, height),
                      Out(frequencyList, frequency), Out(headingList, heading), idList == Py_None ? nullptr : id.data(),
                      nameList == Py_None ? nullptr : name.data(), Out(regList, reg));

    if (!binding::StoreResult(typeList, PyRef::Steal(PyLong_FromLong(type))) ||
        !binding::StoreResult(latList, PyRef::Steal(PyFloat_FromDouble(lat))) ||
        !binding::StoreResult(lonList, PyRef::Steal(PyFloat_FromDouble(lon))) ||
        !binding::StoreResult(heightList, PyRef::Steal(PyFloat_FromDouble(height))) ||
        !binding::StoreResult(frequencyList, PyRef::Steal(PyLong_FromLong(frequency))) ||
        !binding::StoreResult(headingList, PyRef::Steal(PyFloat_FromDouble(heading))) ||
        (idList != Py_None && !binding::StoreResult(idList, PyRef::Steal(TextResult(id)))) ||
        (nameList != Py_None && !binding::StoreResult(nameList, PyRef::Steal(TextResult(name)))) ||
        // The byte is signed, whatever char is on this compiler.
        !binding::StoreResult(regList, PyRef::Steal(PyLong_FromLong(static_cast<signed char>(reg)))))
        return nullptr;
    return Py_BuildValue("(i)", 1);
}

PyObject* CountFMSEntries(PyObject*, PyObject*) { return PyLong_FromLong(XPLMCountFMSEntries()); }
PyObject* GetDisplayedFMSEntry(PyObject*, PyObject*) { return PyLong_FromLong(XPLMGetDisplayedFMSEntry()); }
PyObject* GetDestinationFMSEntry(PyObject*, PyObject*) { return PyLong_FromLong(XPLMGetDestinationFMSEntry()); }

template <void (*Set)(int)>
PyObject* SetEntry(PyObject* args, const char* format, const char* function) {
    long value = 0;
    int index = 0;
    if (!PyArg_ParseTuple(args, format, &value) || !FmsIndex(function, value, &index)) return nullptr;
    Set(index);
    return binding::ReturnOne();
}

PyObject* SetDisplayedFMSEntry(PyObject*, PyObject* args) {
    return SetEntry<XPLMSetDisplayedFMSEntry>(args, "l:XPLMSetDisplayedFMSEntry", "XPLMSetDisplayedFMSEntry");
}
PyObject* SetDestinationFMSEntry(PyObject*, PyObject* args) {
    return SetEntry<XPLMSetDestinationFMSEntry>(args, "l:XPLMSetDestinationFMSEntry", "XPLMSetDestinationFMSEntry");
}
PyObject* ClearFMSEntry(PyObject*, PyObject* args) {
    return SetEntry<XPLMClearFMSEntry>(args, "l:XPLMClearFMSEntry", "XPLMClearFMSEntry");
}

PyObject* GetFMSEntryInfo(PyObject*, PyObject* args) {
    long indexValue = 0;
    PyObject *typeList, *idList, *refList, *altitudeList, *latList, *lonList;
    if (!PyArg_ParseTuple(args, "lOOOOOO:XPLMGetFMSEntryInfo", &indexValue, &typeList, &idList, &refList,
                          &altitudeList, &latList, &lonList))
        return nullptr;
    for (PyObject* list : {typeList, idList, refList, altitudeList, latList, lonList})
        if (!binding::CheckResultList(list, "XPLMGetFMSEntryInfo")) return nullptr;
    int index = 0;
    if (!FmsIndex("XPLMGetFMSEntryInfo", indexValue, &index)) return nullptr;

    XPLMNavType type = xplm_Nav_Unknown;
    TextBuffer id{};
    XPLMNavRef ref = XPLM_NAV_NOT_FOUND;
    int altitude = 0;
    float lat = 0, lon = 0;
    XPLMGetFMSEntryInfo(index, Out(typeList, type), idList == Py_None ? nullptr : id.data(), Out(refList, ref),
                        Out(altitudeList, altitude), Out(latList, lat), Out(lonList, lon));

    if (!binding::StoreResult(typeList, PyRef::Steal(PyLong_FromLong(type))) ||
        (idList != Py_None && !binding::StoreResult(idList, PyRef::Steal(TextResult(id)))) ||
        !binding::StoreResult(refList, PyRef::Steal(PyLong_FromLong(ref))) ||
        !binding::StoreResult(altitudeList, PyRef::Steal(PyLong_FromLong(altitude))) ||
        !binding::StoreResult(latList, PyRef::Steal(PyFloat_FromDouble(lat))) ||
        !binding::StoreResult(lonList, PyRef::Steal(PyFloat_FromDouble(lon))))
        return nullptr;
    return Py_BuildValue("(i)", 1);
}

PyObject* SetFMSEntryInfo(PyObject*, PyObject* args) {
    long indexValue = 0, altitudeValue = 0;
    int ref = 0, index = 0, altitude = 0;
    if (!PyArg_ParseTuple(args, "lil:XPLMSetFMSEntryInfo", &indexValue, &ref, &altitudeValue) ||
        !FmsIndex("XPLMSetFMSEntryInfo", indexValue, &index) ||
        !FitsInt("XPLMSetFMSEntryInfo", "altitude", altitudeValue, &altitude))
        return nullptr;
    XPLMSetFMSEntryInfo(index, ref, altitude);
    return binding::ReturnOne();
}

PyObject* SetFMSEntryLatLon(PyObject*, PyObject* args) {
    long indexValue = 0, altitudeValue = 0;
    float lat = 0, lon = 0;
    int index = 0, altitude = 0;
    if (!PyArg_ParseTuple(args, "lffl:XPLMSetFMSEntryLatLon", &indexValue, &lat, &lon, &altitudeValue) ||
        !FmsIndex("XPLMSetFMSEntryLatLon", indexValue, &index) ||
        !FitsInt("XPLMSetFMSEntryLatLon", "altitude", altitudeValue, &altitude))
        return nullptr;
    XPLMSetFMSEntryLatLon(index, lat, lon, altitude);
    return binding::ReturnOne();
}

PyObject* GetGPSDestinationType(PyObject*, PyObject*) { return PyLong_FromLong(XPLMGetGPSDestinationType()); }
PyObject* GetGPSDestination(PyObject*, PyObject*) { return PyLong_FromLong(XPLMGetGPSDestination()); }

PyMethodDef kMethods[] = {
    binding::Function<"XPLMGetFirstNavAid", "", "Get First Nav Aid.", GetFirstNavAid>(),
    binding::Function<"XPLMGetNextNavAid", "inNavAidRef", "Get Next Nav Aid.", GetNextNavAid>(),
    binding::Function<"XPLMFindFirstNavAidOfType", "inType", "Find First Nav Aid Of Type.", FindFirstNavAidOfType>(),
    binding::Function<"XPLMFindLastNavAidOfType", "inType", "Find Last Nav Aid Of Type.", FindLastNavAidOfType>(),
    binding::Function<"XPLMFindNavAid", "inNameFragment, inIDFragment, inLat, inLon, inFrequency, inType",
                      "Find Nav Aid.", FindNavAid>(),
    binding::Function<"XPLMGetNavAidInfo",
                      "inRef, outType, outLatitude, outLongitude, outHeight, outFrequency, outHeading, outID, "
                      "outName, outReg",
                      "Get Nav Aid Info.", GetNavAidInfo>(),
    binding::Function<"XPLMCountFMSEntries", "", "Count FMS Entries.", CountFMSEntries>(),
    binding::Function<"XPLMGetDisplayedFMSEntry", "", "Get Displayed FMS Entry.", GetDisplayedFMSEntry>(),
    binding::Function<"XPLMGetDestinationFMSEntry", "", "Get Destination FMS Entry.", GetDestinationFMSEntry>(),
    binding::Function<"XPLMSetDisplayedFMSEntry", "inIndex", "Set Displayed FMS Entry.", SetDisplayedFMSEntry>(),
    binding::Function<"XPLMSetDestinationFMSEntry", "inIndex", "Set Destination FMS Entry.", SetDestinationFMSEntry>(),
    binding::Function<"XPLMGetFMSEntryInfo", "inIndex, outType, outID, outRef, outAltitude, outLat, outLon",
                      "Get FMS Entry Info.", GetFMSEntryInfo>(),
    binding::Function<"XPLMSetFMSEntryInfo", "inIndex, inRef, inAltitude", "Set FMS Entry Info.", SetFMSEntryInfo>(),
    binding::Function<"XPLMSetFMSEntryLatLon", "inIndex, inLat, inLon, inAltitude",
                      "Set FMS Entry LatLon.", SetFMSEntryLatLon>(),
    binding::Function<"XPLMClearFMSEntry", "inIndex", "Clear FMSEntry.", ClearFMSEntry>(),
    binding::Function<"XPLMGetGPSDestinationType", "", "Get GPS DestinationType.", GetGPSDestinationType>(),
    binding::Function<"XPLMGetGPSDestination", "", "Get GPS Destination.", GetGPSDestination>(),
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

PyObject* InitXPLMNavigation() {
    return binding::CreateModule("XPLMNavigation", kMethods,
                                 {{"xplm_Nav_Unknown", xplm_Nav_Unknown},
                                  {"xplm_Nav_Airport", xplm_Nav_Airport},
                                  {"xplm_Nav_NDB", xplm_Nav_NDB},
                                  {"xplm_Nav_VOR", xplm_Nav_VOR},
                                  {"xplm_Nav_ILS", xplm_Nav_ILS},
                                  {"xplm_Nav_Localizer", xplm_Nav_Localizer},
                                  {"xplm_Nav_GlideSlope", xplm_Nav_GlideSlope},
                                  {"xplm_Nav_OuterMarker", xplm_Nav_OuterMarker},
                                  {"xplm_Nav_MiddleMarker", xplm_Nav_MiddleMarker},
                                  {"xplm_Nav_InnerMarker", xplm_Nav_InnerMarker},
                                  {"xplm_Nav_Fix", xplm_Nav_Fix},
                                  {"xplm_Nav_DME", xplm_Nav_DME},
                                  {"xplm_Nav_LatLon", xplm_Nav_LatLon},
                                  {"XPLM_NAV_NOT_FOUND", XPLM_NAV_NOT_FOUND}});
}

}  // namespace korvane

#include "core/run_report.h"

#include "core/core_state.h"
#include "core/py_ref.h"
#include "core/script_listing.h"
#include "registry/dispatch_costs.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <tuple>
#include <vector>

namespace korvane::run_report {
namespace {

using json = nlohmann::ordered_json;

struct Place {
    std::string script;
    const char* where = nullptr;
    PyObject* callable = nullptr;  // borrowed; its caller holds it while the scope lives
};

struct Error {
    std::string script;
    std::string where;
    std::string type;
    std::string message;
    std::string file;
    long line = 0;
    long count = 1;
};

struct StderrWrites {
    long writes = 0;
    std::string first;
};

// Everything below is touched with the interpreter lock held.
std::string reportFile;
std::vector<Place> places;
// A callback that fails every frame is one error with its count, not thousands.
std::vector<Error> errors;
std::map<std::string, StderrWrites> stderrWrites;
int printingErrors = 0;
json scripts = json::array();
json leftovers = json::array();

std::string Text(PyObject* object) {
    if (!object) return {};
    PyRef text = PyRef::Steal(PyUnicode_Check(object) ? Py_NewRef(object) : PyObject_Str(object));
    PyRef bytes = text ? PyRef::Steal(PyUnicode_AsEncodedString(text.get(), "utf-8", "surrogateescape")) : PyRef();
    if (!bytes) {
        PyErr_Clear();
        return "(unprintable)";
    }
    return {PyBytes_AS_STRING(bytes.get()), static_cast<std::size_t>(PyBytes_GET_SIZE(bytes.get()))};
}

PyRef Attribute(PyObject* object, const char* name) {
    PyRef value = object ? PyRef::Steal(PyObject_GetAttrString(object, name)) : PyRef();
    if (!value) PyErr_Clear();
    return value;
}

long Number(PyObject* object) {
    long value = object && PyLong_Check(object) ? PyLong_AsLong(object) : 0;
    if (PyErr_Occurred()) PyErr_Clear();
    return value;
}

// The innermost frame of the traceback that lies in a file (the import machinery's
// frozen frames say nothing to a script's author).
void PlaceFromTraceback(PyObject* traceback, Error& error) {
    PyRef step = PyRef::Borrow(traceback);
    while (step && step.get() != Py_None) {
        PyRef code = Attribute(Attribute(step.get(), "tb_frame").get(), "f_code");
        std::string file = Text(Attribute(code.get(), "co_filename").get());
        if (!file.empty() && file.front() != '<') {
            error.file = file;
            error.line = Number(Attribute(step.get(), "tb_lineno").get());
        }
        step = Attribute(step.get(), "tb_next");
    }
}

// The script whose module a Python frame, or one of its callers, belongs to.
std::string ScriptOfFrame(PyFrameObject* innermost) {
    if (!registry) return {};
    const ScriptRecord* record = registry->FindScript(registry->FindScriptOfFrame(innermost));
    return record ? record->moduleName : std::string();
}

const char* KindName(CallbackKind kind) {
    static constexpr const char* names[] = {
        "Window",   "FlightLoop", "Draw",     "KeySniffer", "HotKey",   "SharedData", "Menu",
        "Camera",   "Planes",     "WidgetCallback", "CommandHandler", "GetDatai", "SetDatai", "GetDataf",
        "SetDataf", "GetDatad",   "SetDatad", "GetDatavi", "SetDatavi", "GetDatavf", "SetDatavf", "GetDatab",
        "SetDatab", "WidgetObject", "CreatedWidget",
        "TerrainProbe", "SceneryObject", "ObjectLoad", "ObjectEnumerator",
        "CreatedFlightLoop", "ErrorCallback", "FeatureEnumerator"};
    static_assert(std::size(names) == kCallbackKindCount);
    return names[static_cast<std::size_t>(kind)];
}

void AddError(Error error) {
    auto key = [](const Error& e) { return std::tie(e.script, e.where, e.type, e.message, e.file, e.line); };
    for (Error& known : errors) {
        if (key(known) == key(error)) {
            ++known.count;
            return;
        }
    }
    errors.push_back(std::move(error));
}

json NullIfEmpty(const std::string& text) { return text.empty() ? json(nullptr) : json(text); }

void AppendLine(const std::string& line) {
    std::FILE* file = std::fopen(reportFile.c_str(), "a");
    if (!file) return;
    std::fwrite(line.data(), 1, line.size(), file);
    std::fputc('\n', file);
    std::fclose(file);
}

}  // namespace

bool Active() { return !reportFile.empty(); }

void BeginRun() {
    const char* file = std::getenv(kFileVariable);
    reportFile = file ? file : "";
    errors.clear();
    stderrWrites.clear();
    scripts = json::array();
    leftovers = json::array();
}

Scope::Scope(std::string script, const char* where, PyObject* callable) {
    // Pushed even when inactive, so that the destructor always pops its own.
    places.push_back({Active() ? std::move(script) : std::string(), where, callable});
}

Scope::~Scope() { places.pop_back(); }

PrintingError::PrintingError() { ++printingErrors; }
PrintingError::~PrintingError() { --printingErrors; }

void RecordError(PyObject* type, PyObject* value, PyObject* traceback) {
    if (!Active() || !type) return;
    Error error;
    if (!places.empty()) {
        error.script = places.back().script;
        error.where = places.back().where;
    }
    if (error.script.empty() && traceback && PyTraceBack_Check(traceback))
        error.script = ScriptOfFrame(reinterpret_cast<PyTracebackObject*>(traceback)->tb_frame);
    error.type = PyType_Check(type) ? reinterpret_cast<PyTypeObject*>(type)->tp_name : Text(type);
    error.message = Text(value);
    if (PyErr_GivenExceptionMatches(type, PyExc_SyntaxError)) {
        // The offending line is in the error itself, not in the traceback; its text
        // without the place, which the report gives apart.
        if (PyRef text = Attribute(value, "msg")) error.message = Text(text.get());
        error.file = Text(Attribute(value, "filename").get());
        error.line = Number(Attribute(value, "lineno").get());
    } else if (traceback) {
        PlaceFromTraceback(traceback, error);
    }
    if (error.file.empty() && !places.empty() && places.back().callable) {
        // A result that could not be used: its callable's definition is the place to look.
        PyRef code = Attribute(places.back().callable, "__code__");
        if (code) {
            error.file = Text(Attribute(code.get(), "co_filename").get());
            error.line = Number(Attribute(code.get(), "co_firstlineno").get());
        }
    }
    AddError(std::move(error));
}

void RecordProblem(std::string_view message) {
    if (!Active()) return;
    Error error;
    if (!places.empty()) {
        error.script = places.back().script;
        error.where = places.back().where;
    }
    error.message = message;
    AddError(std::move(error));
}

void NoteStderrWrite(std::string_view text) {
    if (!Active() || printingErrors > 0 || text.empty()) return;
    std::string script = ScriptOfFrame(PyEval_GetFrame());
    if (script.empty() && !places.empty()) script = places.back().script;
    StderrWrites& writes = stderrWrites[script];
    if (writes.first.empty() && text.find_first_not_of(" \t\r\n") != std::string_view::npos) writes.first = text;
    ++writes.writes;
}

void NoteScripts() {
    if (!Active() || !registry) return;
    scripts = json::array();
    std::set<std::string> loaded;
    for (int i = 0; i < registry->ScriptCount(); ++i) {
        const ScriptRecord* record = registry->FindScript(registry->ScriptAt(i));
        loaded.insert(record->moduleName);
        scripts.push_back({{"module", record->moduleName},
                           {"name", record->name},
                           {"signature", record->signature},
                           {"description", record->description},
                           {"loaded", true},
                           {"enabled", record->enabled != 0}});
    }
    for (const std::string& name : ScriptNameTable())
        if (!loaded.count(name))
            scripts.push_back({{"module", name},
                               {"name", nullptr},
                               {"signature", nullptr},
                               {"description", nullptr},
                               {"loaded", false},
                               {"enabled", false}});
}

void NoteLeftovers(const ScriptRecord& record) {
    if (!Active()) return;
    json held = json::object();
    std::set<const void*> accessors;
    for (std::size_t kind = 0; kind < kCallbackKindCount; ++kind) {
        const EntryList& list = record.entries[kind];
        if (list.empty()) continue;
        if (IsAccessorSlot(static_cast<CallbackKind>(kind))) {
            // The twelve slots of one data accessor are one registration.
            for (const CallbackEntry& entry : list) accessors.insert(entry.handle);
            continue;
        }
        held[KindName(static_cast<CallbackKind>(kind))] = list.size();
    }
    if (!accessors.empty()) held["DataAccessor"] = accessors.size();
    if (held.empty()) return;
    leftovers.push_back({{"script", record.Label()}, {"isScript", record.isScript}, {"registrations", held}});
}

void EndRun() {
    if (!Active()) return;
    json line = json::object();
    line["scripts"] = scripts;
    json errorList = json::array();
    for (const Error& error : errors)
        errorList.push_back({{"script", NullIfEmpty(error.script)},
                             {"where", NullIfEmpty(error.where)},
                             {"type", NullIfEmpty(error.type)},
                             {"message", error.message},
                             {"file", NullIfEmpty(error.file)},
                             {"line", error.file.empty() ? json(nullptr) : json(error.line)},
                             {"count", error.count}});
    line["errors"] = errorList;
    json writes = json::array();
    for (const auto& [script, written] : stderrWrites)
        writes.push_back({{"script", NullIfEmpty(script)}, {"writes", written.writes}, {"first", written.first}});
    line["stderrWrites"] = writes;
    line["registrationsAtStop"] = leftovers;
    json calls = json::array();
    for (const profile::ScriptCost& cost : profile::Costs())
        calls.push_back({{"script", cost.script}, {"kind", cost.kind}, {"calls", cost.cost.calls}});
    line["callbackCalls"] = calls;
    line["callbackCallsCounted"] = profile::Enabled();
    // Texts from scripts may hold any bytes; a stray one must not cost the whole report.
    AppendLine(line.dump(-1, ' ', false, json::error_handler_t::replace));
    reportFile.clear();
}

}  // namespace korvane::run_report

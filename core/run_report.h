#pragma once
// The plug-in's part of a test bench's run report. A program that runs the plug-in
// (korvane-host) names a file in the environment variable KORVANE_RUN_REPORT; every
// interpreter stop then appends one JSON line about that interpreter run: its scripts,
// the errors they raised, their writes to standard error, the registrations they still
// held at stop and the callback counts. Without the variable, as in the simulator,
// nothing is collected.
#include "platform/run_report_wire.h"

#include <Python.h>

#include <string>
#include <string_view>

namespace korvane {
struct ScriptRecord;
}

namespace korvane::run_report {

bool Active();
// At interpreter start: reads the variable and forgets the previous run.
void BeginRun();
// At interpreter stop: appends the run's line to the file.
void EndRun();

// While one lives, errors printed are put down to this script and entry point or
// callback; `callable`, when given, places an error that has no traceback.
class Scope {
public:
    Scope(std::string script, const char* where, PyObject* callable = nullptr);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
};

// A Python error about to be printed (normalized); a load failure that is not one.
void RecordError(PyObject* type, PyObject* value, PyObject* traceback);
void RecordProblem(std::string_view message);
// A write to sys.stderr that is not the printing of an error.
void NoteStderrWrite(std::string_view text);
// Set while an error is printed, so that its traceback is not taken for a script's own write.
class PrintingError {
public:
    PrintingError();
    ~PrintingError();
};

// At stop, before the records go: the scripts as they stand, then each record's leftovers.
void NoteScripts();
void NoteLeftovers(const ScriptRecord& record);

}  // namespace korvane::run_report

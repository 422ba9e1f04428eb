#pragma once
// Importing a script and the five per-script lifecycle calls.
#include <Python.h>

#include <string>

namespace korvane {

// Imports the module, instantiates its Korvane class and records the instance.
// 1 when loaded, 0 when skipped (the reason is in the log).
int LoadScript(const std::string& moduleName);

// Each returns 0 when the script is disabled or unknown (and Python is not touched),
// otherwise 1, whether or not the script's method worked.
int CallScriptStart(PyObject* script);
int CallScriptStop(PyObject* script);
int CallScriptEnable(PyObject* script);
int CallScriptDisable(PyObject* script);
int CallScriptReceiveMessage(PyObject* script, int sender, long message, long parameter);
// A message from another script: the sender is named by the Python value `sender`.
int CallScriptReceiveMessage(PyObject* script, PyObject* sender, long message, long parameter);

}  // namespace korvane

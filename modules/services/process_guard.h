#pragma once
// What belongs to the simulator's process, kept from scripts: os._exit and os.abort
// raise instead of ending the simulator, and the signals the simulator handles cannot
// be given Python handlers.
#include <Python.h>

namespace korvane {

// Puts the guards in place of os._exit, os.abort and signal.signal (at every start:
// an interpreter kept from an earlier start may hold an unloaded plug-in's guards).
// Returns the os module borrowed, or null with a Python error set.
PyObject* InstallProcessGuards();

}  // namespace korvane

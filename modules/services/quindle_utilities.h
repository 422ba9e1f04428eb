#pragma once
// QuindleUtilities: the scripts' text output to the console, the panel lists and the files.
#include <Python.h>

namespace korvane {

// Creates the module; returns it borrowed, or null with a Python error set.
PyObject* InitQuindleUtilities();

}  // namespace korvane

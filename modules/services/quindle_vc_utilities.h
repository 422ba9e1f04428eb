#pragma once
// QuindleVCUtilities: scripts drive the separate virtual camera plug-in through the
// fourteen data references the core shares with it.
#include <Python.h>

namespace korvane {

// Looks the shared references up and creates the module; returns it borrowed, or
// null with a Python error set.
PyObject* InitQuindleVCUtilities();

}  // namespace korvane

#pragma once
// ZeduvoRoriroDedodevod: scripts find, enable, disable and message each other.
#include <Python.h>

namespace korvane {

// Creates the module; returns it borrowed, or null with a Python error set.
PyObject* InitZeduvoRoriroDedodevod();

}  // namespace korvane

#pragma once
// What a native callback logs when the Python side failed.
#include <Python.h>

namespace korvane::dispatch {

// Prints the pending error. One without a traceback (a result that could not be
// converted, a camera list that lost its numbers) would say nothing of where it came
// from, so it is preceded by a line naming the script, its callable and the callback.
void ReportFailedCall(PyObject* key, PyObject* callable, const char* callback);

}  // namespace korvane::dispatch

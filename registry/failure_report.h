#pragma once
// What a native callback logs when the Python side failed.
#include <Python.h>

namespace korvane::dispatch {

// Prints the pending error. One without a traceback (a result that could not be
// converted, a camera list that lost its numbers) would say nothing of where it came
// from, so it is preceded by a line naming the script, its callable and the callback.
// A callable that keeps failing the same way (every frame, say) has its first
// kFailuresShownInFull failures printed; later identical ones are counted, and one log
// line every kFailureSummarySeconds of simulator time says how many there were. The
// run report counts every failure either way.
inline constexpr int kFailuresShownInFull = 3;
inline constexpr float kFailureSummarySeconds = 10.0f;
void ReportFailedCall(PyObject* key, PyObject* callable, const char* callback);

// At interpreter stop: the counts not yet written, then a fresh start for the next run.
void WriteFailureSummaries();

}  // namespace korvane::dispatch

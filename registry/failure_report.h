#pragma once
// What a native callback logs when the Python side failed.
#include <Python.h>

namespace korvane::dispatch {

// Failures in callbacks nested deeper than this wait until the stack has unwound to it:
// printing a traceback at the bottom of a deep stack can fail itself.
inline constexpr int kSafeReportDepth = 16;

// Prints the pending error, now or (nested too deep) once the stack has unwound. One
// without a traceback from a callback whose result the host takes (a result that could
// not be converted, a camera list that lost its numbers) would say nothing of where it
// came from, so it is preceded by a line naming the script, its callable and the callback.
// A callable that keeps failing the same way (every frame, say) has its first
// kFailuresShownInFull failures printed; later identical ones are counted, and one log
// line every kFailureSummarySeconds of simulator time says how many there were. The
// run report counts every failure either way.
inline constexpr int kFailuresShownInFull = 3;
inline constexpr float kFailureSummarySeconds = 10.0f;
void ReportFailedCall(PyObject* key, PyObject* callable, const char* callback, bool resultUsed);

// At interpreter stop: the counts not yet written, then a fresh start for the next run.
void WriteFailureSummaries();

namespace failure_report_detail {
extern bool waiting;
void ReportWaiting();
}  // namespace failure_report_detail

// Prints the failures that waited, if any, once the stack is shallow enough; every
// dispatch calls it on its way back, at the cost of one flag test.
inline void ReportWaitingFailures() {
    if (failure_report_detail::waiting) failure_report_detail::ReportWaiting();
}

}  // namespace korvane::dispatch

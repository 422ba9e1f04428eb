#pragma once
// Korvane's standard output and error streams for scripts. A script may replace
// sys.stdout or sys.stderr; after each of its calls the capture is put back (and the
// script named in the log once a run), so other scripts' output still arrives, and
// Korvane prints every error report through its own stream whatever sys.stderr is.
#include <Python.h>

namespace korvane {

// Sets sys.stdout and sys.stderr to Korvane's streams (QuindleUtilities' printers).
void InstallOutputCapture();
// Drops the streams' references before the interpreter stops.
void ReleaseOutputCapture();

namespace output_capture_detail {
struct Streams {
    PyObject* sysDict = nullptr;  // all borrowed from the objects held in the .cpp
    PyObject* stdoutKey = nullptr;
    PyObject* stderrKey = nullptr;
    PyObject* out = nullptr;
    PyObject* err = nullptr;
};
extern Streams streams;
void Restore(PyObject* script);
}  // namespace output_capture_detail

// After a call into the script `script` (a registry key): puts the capture back if the
// script replaced it. Two dictionary lookups while nothing changed.
inline void KeepOutputCaptured(PyObject* script) {
    using namespace output_capture_detail;
    if (streams.sysDict && (PyDict_GetItem(streams.sysDict, streams.stdoutKey) != streams.out ||
                            PyDict_GetItem(streams.sysDict, streams.stderrKey) != streams.err))
        Restore(script);
}

// Held while Korvane prints an error report: sys.stderr is Korvane's own stream.
class OwnErrorStream {
public:
    OwnErrorStream();
    ~OwnErrorStream();
    OwnErrorStream(const OwnErrorStream&) = delete;
    OwnErrorStream& operator=(const OwnErrorStream&) = delete;

private:
    PyObject* previous_ = nullptr;  // a new reference, or null
};

}  // namespace korvane

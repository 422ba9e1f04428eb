#include "core/host_call.h"

#include "core/reporting.h"

#include <Python.h>

#include <cstdlib>
#include <string>

namespace korvane {
namespace host_call_detail {

State state;

namespace {

PyThreadState* parked = nullptr;
PyInterpreterState* interpreter = nullptr;

bool OtherThreadsExist() {
    PyThreadState* head = PyInterpreterState_ThreadHead(interpreter);
    return head && PyThreadState_Next(head);
}

#ifdef KORVANE_CHECKED
[[noreturn]] void Violation(const char* function, const char* what) {
    WriteLog(std::string("Korvane check failed: ") + function + " " + what + "\n");
    std::abort();
}

void CheckOnEntry(const char* function) {
    if (state.lock == Lock::None && interpreter) Violation(function, "found the interpreter lock untracked");
}

void CheckOnReturn(const char* function) {
    if (!PyGILState_Check()) Violation(function, "lost the interpreter lock before returning to the host");
    if (PyErr_Occurred()) {
        PyErr_Print();
        Violation(function, "returned to the host with a Python error pending");
    }
}

void CheckParked(const char* function) {
    if (PyGILState_Check()) Violation(function, "returned to the host holding the interpreter lock");
}
#else
void CheckOnEntry(const char*) {}
void CheckOnReturn(const char*) {}
void CheckParked(const char*) {}
#endif

}  // namespace

void Reacquire(const char* function) {
    CheckOnEntry(function);
    if (state.lock != Lock::Parked) return;
    PyEval_RestoreThread(parked);
    parked = nullptr;
    state.lock = Lock::Held;
}

void Settle(const char* function) {
    CheckOnReturn(function);
    if (!OtherThreadsExist()) return;
    parked = PyEval_SaveThread();
    state.lock = Lock::Parked;
    CheckParked(function);
}

}  // namespace host_call_detail

using namespace host_call_detail;

void AdoptInterpreterLock() {
    interpreter = PyInterpreterState_Main();
    state.hostThread = pthread_self();
    state.hostThreadKnown = true;
    parked = nullptr;
    state.lock = Lock::Held;
}

void ForgetInterpreterLock() {
    interpreter = nullptr;
    parked = nullptr;
    state.lock = Lock::None;
}

}  // namespace korvane

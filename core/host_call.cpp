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
bool nestingLogged = false;

#ifdef KORVANE_CHECKED
[[noreturn]] void Violation(const char* function, const char* what) {
    WriteLog(std::string("Korvane check failed: ") + function + " " + what + "\n");
    std::abort();
}

void CheckOnEntry(const char* function) {
    if (state.lock == Lock::None && state.interpreter) Violation(function, "found the interpreter lock untracked");
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

bool HostCall::RefuseNesting(const char* function) {
    state.nestingRefused = true;
    if (!nestingLogged) {
        nestingLogged = true;
        WriteLog(std::string("Korvane refused ") + function + ": scripts' callbacks nested more than " +
                 std::to_string(kMaxNesting) + " deep through the simulator; the script gets a RecursionError\n");
    }
    return true;
}

void AdoptInterpreterLock() {
    nestingLogged = false;
    state.nestingRefused = false;
    state.interpreter = PyInterpreterState_Main();
    state.hostThreadState = PyThreadState_Get();
    state.hostThread = pthread_self();
    state.hostThreadKnown = true;
    parked = nullptr;
    state.lock = Lock::Held;
}

void ForgetInterpreterLock() {
    state.interpreter = nullptr;
    state.hostThreadState = nullptr;
    parked = nullptr;
    state.lock = Lock::None;
}

}  // namespace korvane

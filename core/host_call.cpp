#include "core/host_call.h"

#include "core/reporting.h"

#include <Python.h>
#include <pthread.h>

#include <cstdlib>
#include <string>

namespace korvane {
namespace {

// How the host's thread holds the lock between host calls.
enum class Lock { None, Held, Parked };

// All of this belongs to the host's thread; a script's own thread that reaches a
// native (through a binding that calls the host) holds the lock already and leaves it be.
Lock lock = Lock::None;
PyThreadState* parked = nullptr;
PyInterpreterState* interpreter = nullptr;
pthread_t hostThread{};
bool hostThreadKnown = false;
int depth = 0;

bool OnHostThread() { return !hostThreadKnown || pthread_equal(pthread_self(), hostThread); }

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
    if (lock == Lock::None && Py_IsInitialized() && interpreter) Violation(function, "found the interpreter lock untracked");
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

HostCall::HostCall(const char* function) : function_(function), counted_(OnHostThread()) {
    if (!counted_ || depth++ > 0) return;
    CheckOnEntry(function_);
    if (lock == Lock::Parked) {
        PyEval_RestoreThread(parked);
        parked = nullptr;
        lock = Lock::Held;
    }
}

HostCall::~HostCall() {
    if (!counted_ || --depth > 0) return;
    if (lock != Lock::Held) return;
    CheckOnReturn(function_);
    if (!OtherThreadsExist()) return;
    parked = PyEval_SaveThread();
    lock = Lock::Parked;
    CheckParked(function_);
}

void AdoptInterpreterLock() {
    interpreter = PyInterpreterState_Main();
    hostThread = pthread_self();
    hostThreadKnown = true;
    parked = nullptr;
    lock = Lock::Held;
}

void ForgetInterpreterLock() {
    interpreter = nullptr;
    parked = nullptr;
    lock = Lock::None;
}

}  // namespace korvane

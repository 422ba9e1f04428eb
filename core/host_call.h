#pragma once
// Every call from the host into Korvane (entry points, native callbacks, accessors)
// opens a HostCall. It settles the interpreter lock: scripts may run threads of their
// own, which make progress only while nobody holds the lock, so the host's thread gives
// the lock away when control goes back to the host and takes it again for the next
// call. While the interpreter has no thread but the host's, nobody waits for the lock,
// so the host's thread keeps it and a per-frame callback pays next to nothing for it.
//
// Built with KORVANE_CHECKED, every return to the host also verifies that no Python
// error is pending and that the lock is where it belongs; a violation is logged with
// the function's name and aborts.
#include "core/thread_output.h"

#include <Python.h>
#include <pthread.h>

namespace korvane {

namespace host_call_detail {
// How the host's thread holds the lock between host calls.
enum class Lock { None, Held, Parked };
struct State {
    Lock lock = Lock::None;
    int depth = 0;  // host calls in progress on the host's thread
    pthread_t hostThread{};
    bool hostThreadKnown = false;
    PyInterpreterState* interpreter = nullptr;
    PyThreadState* hostThreadState = nullptr;
    bool nestingRefused = false;  // a dispatch was refused since a binding last looked
};
extern State state;
void Reacquire(const char* function);
void Settle(const char* function);

// New thread states go to the head of the interpreter's doubly linked list, so while
// nothing stands before the host's thread state, no other thread exists to wait for the
// lock. Read from the state itself: this runs on every return to the host.
inline bool OtherThreadsExist() { return state.hostThreadState->prev != nullptr; }
}  // namespace host_call_detail

// How deep host -> Python calls may nest (a script's callback calling the host, which
// calls a script again): far below what the C stack holds, whatever Python's own
// recursion limit says.
inline constexpr int kMaxNesting = 200;

// True on the simulator's main thread, the only one that may call the host.
inline bool OnHostThread() {
    using namespace host_call_detail;
    return !state.hostThreadKnown || pthread_equal(pthread_self(), state.hostThread);
}

class HostCall {
public:
    // Inline: it runs around every per-frame callback.
    explicit HostCall(const char* function) : function_(function) {
        using namespace host_call_detail;
        // A script's own thread that reaches a native (through a binding that calls
        // the host) holds the lock already and leaves it be.
        counted_ = !state.hostThreadKnown || pthread_equal(pthread_self(), state.hostThread);
        if (counted_ && state.depth++ == 0) {
#ifdef KORVANE_CHECKED
            Reacquire(function_);
#else
            if (state.lock == Lock::Parked) Reacquire(function_);
#endif
            DeliverQueuedOutput();
        }
    }
    ~HostCall() {
        using namespace host_call_detail;
        if (!counted_ || --state.depth > 0 || state.lock != Lock::Held) return;
#ifdef KORVANE_CHECKED
        Settle(function_);
#else
        if (OtherThreadsExist()) Settle(function_);
#endif
    }
    HostCall(const HostCall&) = delete;
    HostCall& operator=(const HostCall&) = delete;

    // True (and logged, the first time in a run) when this call nests too deep to be
    // handed to Python: the script's binding that led here raises RecursionError.
    bool NestsTooDeep() const {
        return counted_ && host_call_detail::state.depth > kMaxNesting && RefuseNesting(function_);
    }

private:
    static bool RefuseNesting(const char* function);

    const char* function_;
    bool counted_;
};

// A new interpreter has just started on this thread, which holds its lock.
void AdoptInterpreterLock();
// The interpreter has been finalized; its lock and thread state are gone.
void ForgetInterpreterLock();
// Called by every binding after its host call: true, once, when a dispatch was refused
// for nesting too deep since the last look.
inline bool TakeNestingRefusal() {
    return host_call_detail::state.nestingRefused && !(host_call_detail::state.nestingRefused = false);
}

}  // namespace korvane

#pragma once
// Every call from the host into Korvane (entry points, native callbacks, accessors)
// opens a HostCall. It settles the interpreter lock: scripts may run threads of their
// own, which make progress only while nobody holds the lock, so the host's thread gives
// the lock away when control goes back to the host and takes it again for the next
// call. While the interpreter has no thread but the host's, nobody waits for the lock,
// so the host's thread keeps it and a per-frame callback pays nothing for it.
//
// Built with KORVANE_CHECKED, every return to the host also verifies that no Python
// error is pending and that the lock is where it belongs; a violation is logged with
// the function's name and aborts.

namespace korvane {

class HostCall {
public:
    explicit HostCall(const char* function);
    ~HostCall();
    HostCall(const HostCall&) = delete;
    HostCall& operator=(const HostCall&) = delete;

private:
    const char* function_;
    bool counted_;
};

// A new interpreter has just started on this thread, which holds its lock.
void AdoptInterpreterLock();
// The interpreter has been finalized; its lock and thread state are gone.
void ForgetInterpreterLock();

}  // namespace korvane

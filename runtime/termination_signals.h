#pragma once
// Keeps SIGINT, SIGTERM and SIGHUP off the calling thread while it lives. A
// thread started meanwhile inherits the block from its first instruction:
// the signals belong to the thread that owns the run, whose handler can
// tell where the run stands.

#include <pthread.h>
#include <signal.h>

namespace quillmere {

class TerminationSignalsBlocked {
public:
    TerminationSignalsBlocked() {
        sigset_t termination;
        sigemptyset(&termination);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&termination, signal);
        pthread_sigmask(SIG_BLOCK, &termination, &previous_);
    }
    ~TerminationSignalsBlocked() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    TerminationSignalsBlocked(const TerminationSignalsBlocked&) = delete;
    TerminationSignalsBlocked& operator=(const TerminationSignalsBlocked&) = delete;

private:
    sigset_t previous_;
};

}  // namespace quillmere

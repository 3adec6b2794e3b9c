// Ctrl-C and SIGTERM without leftovers: the signal only sets a flag; every run begins by checking it
// and, once it is set, throws Interrupted instead, so that the runs under way unwind and remove
// their drive folders as they would on any other exit. A second signal ends the process at once
// (the handler is reset by the first). tvx-sim only.
#pragma once

#include <stdexcept>

namespace tvx::sim {

class Interrupted : public std::runtime_error {
public:
    explicit Interrupted(int signal);
    int signal() const { return signal_; }

private:
    int signal_;
};

// Catches SIGINT and SIGTERM from now on (once per process).
void CatchInterrupts();

// The signal caught, 0 when none was.
int InterruptSignal();

// Throws Interrupted once a signal was caught.
void StopIfInterrupted();

// Ends the process the way the signal would have ended it (its shell sees it was interrupted),
// once everything it made is gone.
[[noreturn]] void EndByInterrupt(int signal);

}  // namespace tvx::sim

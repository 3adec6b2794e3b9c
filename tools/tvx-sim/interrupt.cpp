// Ctrl-C and SIGTERM without leftovers. tvx-sim only.
#include "tools/tvx-sim/interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

namespace tvx::sim {
namespace {

volatile sig_atomic_t g_caught = 0;

extern "C" void OnInterrupt(int signal) { g_caught = signal; }

}  // namespace

Interrupted::Interrupted(int signal)
    : std::runtime_error("interrupted by " + std::string(signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "a signal")),
      signal_(signal) {}

void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // SA_RESTART: a write under way goes on; SA_RESETHAND: a second signal is not caught.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (int signal : {SIGINT, SIGTERM}) {
        struct sigaction before {};
        // A signal the process was started ignoring (a background job of a shell without job
        // control ignores SIGINT) stays ignored.
        if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        sigaction(signal, &action, nullptr);
    }
}

int InterruptSignal() { return g_caught; }

void StopIfInterrupted() {
    if (const int signal = g_caught) throw Interrupted(signal);
}

void EndByInterrupt(int signal) {
    std::cout.flush();
    std::fflush(nullptr);
    ::signal(signal, SIG_DFL);
    raise(signal);
    // Blocked: end with the status a shell gives a process the signal ended.
    std::_Exit(128 + signal);
}

}  // namespace tvx::sim

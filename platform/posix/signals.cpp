// The signals of a run. A file past its size limit is a write error like a
// full disk, never the end of the process: SIGXFSZ is ignored. Every signal
// that ends a process by default and comes from outside (Ctrl+C, kill, a
// hang-up, a timer) is handled from the start: the terminal's mode is put
// back, the new files of unfinished replacements are removed, and then the
// process ends by that same signal, as it would have without the handler.
#include <cerrno>
#include <csignal>
#include <pthread.h>

#include "platform/posix/posix.h"

namespace posix {

static const int endSignals[] = {
    SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGALRM, SIGUSR1, SIGUSR2, SIGPIPE, SIGVTALRM, SIGPROF, SIGXCPU,
#ifdef SIGIO
    SIGIO,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
};

void addEndSignals(sigset_t *set) {
    for (int sig : endSignals) sigaddset(set, sig);
    sigaddset(set, SIGTSTP);
}

void blockEndSignals(sigset_t *saved) {
    sigset_t set;
    sigemptyset(&set);
    addEndSignals(&set);
    pthread_sigmask(SIG_BLOCK, &set, saved);
}

void restoreSignalMask(const sigset_t *saved) { pthread_sigmask(SIG_SETMASK, saved, nullptr); }

// Cleans up, then lets the signal take its usual course: its default action
// comes into force and the signal, raised again, ends the process as soon
// as it is unblocked.
static void onEndSignal(int sig) {
    int savedErrno = errno;
    restoreTerminalMode();
    removeReplacementFiles();
    struct sigaction usual = {};
    usual.sa_handler = SIG_DFL;
    sigemptyset(&usual.sa_mask);
    sigaction(sig, &usual, nullptr);
    raise(sig);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    errno = savedErrno;
}

void setUpSignals() {
    std::signal(SIGXFSZ, SIG_IGN);
    struct sigaction action = {};
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    addEndSignals(&action.sa_mask);  // no handler runs inside another
    action.sa_flags = SA_RESTART;
    for (int sig : endSignals) {
        struct sigaction previous;
        // A signal the program was told to ignore (nohup) stays ignored.
        if (sigaction(sig, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN)
            sigaction(sig, &action, nullptr);
    }
}

}  // namespace posix

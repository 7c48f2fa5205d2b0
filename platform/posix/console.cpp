// The POSIX console. Standard output is the C stream stdout (fully buffered
// when it is no terminal); clearing is the ANSI "home, clear screen" sequence.
// Key input comes from the controlling terminal (/dev/tty), put into
// non-canonical mode without echo for each read and restored afterwards, also
// when the process stops (Ctrl+Z) or ends, by a signal or an exit, whatever
// the moment.
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/posix/posix.h"

namespace {

int ttyFd = -1;                          // /dev/tty while a key read uses it
struct termios savedMode;                // its mode before the read
struct termios keyMode;                  // non-canonical, no echo
volatile sig_atomic_t modeChanged = 0;   // keyMode is in force
int pendingSecondPart = -1;              // second part of a 0 / 0xE0 key, or -1

struct sigaction previousStop;
const int escapeGraceMs = 30;            // the rest of an escape sequence may lag

// Ctrl+Z during a read: the shell gets its mode back while the program is
// stopped, and key mode comes back when it continues, if it was in force
// when the signal came. No other handler of the program runs inside this
// one, nor while key mode is entered or left.
void onStopSignal(int) {
    int savedErrno = errno;
    bool wasKeyMode = modeChanged != 0;
    posix::restoreTerminalMode();
    kill(getpid(), SIGSTOP);
    if (wasKeyMode) {
        modeChanged = 1;
        tcsetattr(ttyFd, TCSANOW, &keyMode);
    }
    errno = savedErrno;
}

void atExitRestore() { posix::restoreTerminalMode(); }

// Installs the handler above for the duration of a read, unless the program
// was told to ignore SIGTSTP. Called with the signals blocked.
void installStopHandler() {
    struct sigaction action = {};
    sigemptyset(&action.sa_mask);
    posix::addEndSignals(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    action.sa_handler = onStopSignal;
    sigaction(SIGTSTP, nullptr, &previousStop);
    if (previousStop.sa_handler != SIG_IGN) sigaction(SIGTSTP, &action, nullptr);
}

// Opens /dev/tty and puts it into key mode. False, with nothing left open or
// changed, when there is no controlling terminal or its mode cannot be set.
// The mode and the handler change with the signals blocked, so that a
// signal sees either the terminal's own mode or key mode with its handler.
bool enterKeyMode() {
    static bool exitHookSet = false;
    if (!exitHookSet) exitHookSet = std::atexit(atExitRestore) == 0;
    ttyFd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (ttyFd < 0) return false;
    if (tcgetattr(ttyFd, &savedMode) != 0) {
        close(ttyFd);
        ttyFd = -1;
        return false;
    }
    keyMode = savedMode;
    keyMode.c_lflag &= ~(tcflag_t)(ICANON | ECHO);
    keyMode.c_cc[VMIN] = 1;
    keyMode.c_cc[VTIME] = 0;
    sigset_t saved;
    posix::blockEndSignals(&saved);
    installStopHandler();
    modeChanged = 1;
    bool entered = tcsetattr(ttyFd, TCSANOW, &keyMode) == 0;
    if (!entered) {
        posix::restoreTerminalMode();
        sigaction(SIGTSTP, &previousStop, nullptr);
    }
    posix::restoreSignalMask(&saved);
    if (entered) return true;
    close(ttyFd);
    ttyFd = -1;
    return false;
}

// Restores the mode and removes the handler, with the signals blocked, then
// closes /dev/tty.
void leaveKeyMode() {
    sigset_t saved;
    posix::blockEndSignals(&saved);
    posix::restoreTerminalMode();
    sigaction(SIGTSTP, &previousStop, nullptr);
    posix::restoreSignalMask(&saved);
    close(ttyFd);
    ttyFd = -1;
}

// A byte can be read from the terminal within `timeoutMs`.
bool byteWaiting(int timeoutMs) {
    struct pollfd p = {ttyFd, POLLIN, 0};
    int ready;
    do ready = poll(&p, 1, timeoutMs); while (ready < 0 && errno == EINTR);
    return ready > 0 && (p.revents & POLLIN) != 0;
}

// Reads one byte; blocks in key mode. -1 on end of input or an error.
int readByte() {
    unsigned char byte;
    ssize_t got;
    do got = read(ttyFd, &byte, 1); while (got < 0 && errno == EINTR);
    return got == 1 ? byte : -1;
}

// Reads and drops every byte already waiting (after an escape, the rest of
// its sequence is given a moment to arrive). Returns the first byte dropped,
// or -1 when none was waiting.
int discardWaiting(bool afterEscape) {
    int first = -1;
    int timeoutMs = afterEscape ? escapeGraceMs : 0;
    while (byteWaiting(timeoutMs)) {
        int byte = readByte();
        if (byte < 0) break;
        if (first < 0) first = byte;
        timeoutMs = 0;
    }
    return first;
}

}  // namespace

// Descriptor 1 is a character device (a terminal, /dev/null).
bool stdoutIsCharDevice() {
    struct stat info;
    return fstat(1, &info) == 0 && S_ISCHR(info.st_mode);
}

// Text crosses the seam as UTF-8, which is what a POSIX reader expects.
bool writeText(FILE *stream, const char *text) { return std::fputs(text, stream) >= 0; }

// Every sink gets the real characters; there is no ANSI code page.
int codePageBytes(FILE *, uint32_t) { return -1; }
long ansiTextToUtf8(const char *, size_t, char *, size_t) { return -1; }

// stdout, made fully buffered with a large buffer on the first call when it
// is no terminal.
FILE *platformStdout() {
    static bool configured = false;
    static char buffer[1 << 16];
    if (!configured && !isatty(1)) std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    configured = true;
    return stdout;
}

// Flushes `out`, then homes the cursor and clears the screen through `out`
// when standard output is a terminal.
void consoleClear(FILE *out) {
    std::fflush(out);
    if (!isatty(1)) return;
    std::fputs("\x1b[H\x1b[2J", out);
    std::fflush(out);
}

// One key from the controlling terminal, without echo. The whole of what the
// key sent is consumed: an escape sequence gives 0x1B. A NUL or 0xE0 byte
// answers like a two-part key: its second part comes on the next call.
// -1 at once without a usable terminal, or when the terminal is gone.
int consoleGetKey() {
    std::fflush(stdout);
    if (pendingSecondPart >= 0) {
        int part = pendingSecondPart;
        pendingSecondPart = -1;
        return part;
    }
    if (!enterKeyMode()) return -1;
    int key = readByte();
    int next = key < 0 ? -1 : discardWaiting(key == 0x1B);
    leaveKeyMode();
    if (key == 0 || key == 0xE0) pendingSecondPart = next < 0 ? 0 : next;
    return key;
}

// A byte is waiting on the controlling terminal (looked at in key mode, so
// that a key typed without Enter counts). False without a usable terminal.
bool consoleKeyWaiting() {
    if (pendingSecondPart >= 0) return true;
    if (!enterKeyMode()) return false;
    bool waiting = byteWaiting(0);
    leaveKeyMode();
    return waiting;
}

// scanf("%d") on stdin: blanks and line breaks are skipped, then an optional
// sign and digits; the first other character stays unread. *value is left as
// it was when no number comes. A number beyond int is taken as INT_MAX or
// INT_MIN.
bool readIntegerFromStdin(int *value) {
    std::fflush(stdout);
    int c;
    do c = std::getchar(); while (c == ' ' || (c >= '\t' && c <= '\r'));
    if (c == EOF) return false;
    bool negative = c == '-';
    if (c == '-' || c == '+') c = std::getchar();
    if (c < '0' || c > '9') {
        if (c != EOF) std::ungetc(c, stdin);
        return true;
    }
    long long number = 0;
    for (; c >= '0' && c <= '9'; c = std::getchar())
        if (number <= INT_MAX) number = number * 10 + (c - '0');
    if (c != EOF) std::ungetc(c, stdin);
    if (negative) number = -number;
    *value = number > INT_MAX ? INT_MAX : number < INT_MIN ? INT_MIN : (int)number;
    return true;
}

// Flushes every stream, puts the terminal's mode back, ends the process.
void exitProcess(int code) {
    std::fflush(nullptr);
    posix::restoreTerminalMode();
    std::exit(code);
}

// Safe in a signal handler: one call, and a flag.
void posix::restoreTerminalMode() {
    if (modeChanged) tcsetattr(ttyFd, TCSANOW, &savedMode);
    modeChanged = 0;
}

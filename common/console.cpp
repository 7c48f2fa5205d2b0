// The console waits: clearing the window at start and after a /P page, and
// "Press Enter to continue" with its key read. A wait takes one key press
// (both parts of a two-part key) and then every key press typed ahead, so the
// next wait blocks again. Without a console a wait ends at once.
#include "common/console.h"

#include "common/output.h"
#include "common/progress.h"
#include "common/runstate.h"
#include "platform/platform.h"

namespace {

// Reads one key press: a first part of 0 or 0xE0 (a cursor or function key)
// is followed by its second part, read too. False when the console could not
// be read, so that the caller stops at once.
bool readOneKey() {
    int code = consoleGetKey();
    if (code < 0) return false;
    if (code == 0 || code == 0xE0) return consoleGetKey() >= 0;
    return true;
}

}  // namespace

// Clears the console window through rs.con (flushed first); nothing when
// standard output is no console.
void clearScreen() {
    progressErase();
    consoleClear(rs.con);
}

// Writes the wait message to rs.con, flushes it so that everything printed so
// far is seen, and waits for a key.
void waitForKey() {
    conText("Folmar==>  Press Enter to continue \n");
    conFlush();
    readKeyAndDrain();
}

// One key press, then every key press already waiting is read and dropped.
// A failed read ends it at once. No progress display stands over a wait.
void readKeyAndDrain() {
    progressErase();
    if (!readOneKey()) return;
    while (consoleKeyWaiting())
        if (!readOneKey()) return;
}

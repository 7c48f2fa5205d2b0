// The console waits: what ends a wait, that a wait leaves no key behind for
// the next one, and that a console that cannot be read never blocks.
#include "tests/unit/fixture.h"

namespace {

const int shift = -1;  // a Shift press alone, in the table below

// Each row: the key codes typed before the wait (a two-part key is 0xE0 or 0
// and its scan code), the keys pressed while the wait blocks, and how many
// codes the wait reads and how often it finds nothing and blocks.
struct Wait { const char *name; std::vector<int> typed, later; int keysRead, blockedReads; };
const Wait waits[] = {
    {"any key ends the wait", {}, {'q'}, 1, 1},
    {"cursor key: both parts", {0xE0, 0x48}, {}, 2, 0},
    {"type-ahead with a function key", {'a', 0, 0x3B, '\r'}, {}, 4, 0},
    {"second part of 0xE0 never comes", {0xE0}, {}, 1, 1},
    {"second part of 0 never comes", {0}, {}, 1, 1},
    {"Shift alone does not end the wait", {shift}, {'x'}, 1, 1},
    {"Shift alone is no type-ahead", {'y', shift}, {}, 1, 0},
    {"failed read ends the wait", {}, {}, 0, 1},
};

}  // namespace

// After each wait a second one must block again: nothing was left behind.
TEST_F(FolmarTest, WaitReadsOneKeyPressAndEverythingTypedAhead) {
    for (const Wait &w : waits) {
        SCOPED_TRACE(w.name);
        fresh();
        fakeSetConsole(true);
        for (int code : w.typed) code == shift ? fakeTypeShiftAlone() : fakeTypeKey(code);
        for (int code : w.later) fakePressLater(code);
        waitForKey();
        EXPECT_EQ(out(), "Folmar==>  Press Enter to continue \n");
        EXPECT_EQ(fakeKeysRead(), w.keysRead);
        EXPECT_EQ(fakeBlockedReads(), w.blockedReads);
        fakePressLater('z');
        waitForKey();
        EXPECT_EQ(fakeKeysRead(), w.keysRead + 1);
        EXPECT_EQ(fakeBlockedReads(), w.blockedReads + 1);
    }
}

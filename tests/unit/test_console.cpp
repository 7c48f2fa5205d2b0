// The console waits: what ends one, that it leaves no key behind for the
// next, and that the text before it is on the screen. (The /P pause is tested
// on a pseudo-terminal, a console that cannot be read by every other test.)
#include "tests/unit/fixture.h"

class ConsoleTest : public FolmarTest {};

// Each row: the key codes typed ahead (a two-part key is 0 or 0xE0 and its
// scan code) and pressed while the wait blocks, the codes it reads and how
// often it blocks. A second wait must block again.
TEST_F(ConsoleTest, WaitTakesOneKeyPressAndEverythingTypedAhead) {
    struct Wait { const char *name; std::vector<int> typed, later; int keysRead, blockedReads; };
    const Wait waits[] = {
        {"any key ends the wait", {}, {'q'}, 1, 1},
        {"type-ahead with a function key", {'a', 0, 0x3B, '\r'}, {}, 4, 0},
        {"type-ahead with a cursor key", {0xE0, 0x48, 'x'}, {}, 3, 0},
        {"the second part never comes", {0xE0}, {}, 1, 1},
    };
    for (const Wait &w : waits) {
        SCOPED_TRACE(w.name);
        fresh();
        fakeSetConsole(true);
        for (int code : w.typed) fakeTypeKey(code);
        for (int code : w.later) fakePressLater(code);
        waitForKey();
        EXPECT_EQ(out(), "Folmar==>  Press Enter to continue \n");
        EXPECT_EQ(fakeShownAtLastRead(), out().size());
        EXPECT_EQ(fakeKeysRead(), w.keysRead);
        EXPECT_EQ(fakeBlockedReads(), w.blockedReads);
        fakePressLater('z');
        waitForKey();
        EXPECT_EQ(fakeKeysRead(), w.keysRead + 1);
        EXPECT_EQ(fakeBlockedReads(), w.blockedReads + 1);
    }
}

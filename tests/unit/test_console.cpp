// The console waits: what ends a wait, that a wait leaves no key behind for
// the next one, that a console that cannot be read never blocks, that the
// text before a wait is on the screen when it begins, and the /P pause.
#include "report/report.h"
#include "tests/unit/fixture.h"

class ConsoleTest : public FolmarTest {};

// Each row: the key codes typed before the wait (a two-part key is 0 or 0xE0
// and its scan code), the keys pressed while it blocks, how many codes it
// reads and how often it finds nothing and blocks. A second wait must block
// again: nothing was left behind.
TEST_F(ConsoleTest, WaitTakesOneKeyPressAndEverythingTypedAhead) {
    struct Wait { const char *name; std::vector<int> typed, later; int keysRead, blockedReads; };
    const Wait waits[] = {
        {"any key ends the wait", {}, {'q'}, 1, 1},
        {"cursor key: both parts", {0xE0, 0x48}, {}, 2, 0},
        {"type-ahead with a function key", {'a', 0, 0x3B, '\r'}, {}, 4, 0},
        {"second part of 0xE0 never comes", {0xE0}, {}, 1, 1},
        {"second part of 0 never comes", {0}, {}, 1, 1},
        {"a failed read ends the wait", {}, {}, 0, 1},
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

// Under /P the console stops after every 23 directory lines, the prompt on
// the screen, until a key is pressed, then is cleared; without /P lines are
// only counted.
TEST_F(ConsoleTest, PausePerScreenWaitsAfterEveryTwentyThreeLines) {
    for (bool pause : {false, true}) {
        SCOPED_TRACE(pause ? "/P" : "no /P");
        fresh();
        setWidth(78);
        rs.pausePerScreen = pause;
        fakeSetConsole(true);
        fakePressLater('\r');
        std::string expected;
        for (int i = 1; i <= 24; ++i) {
            char path[] = "C:\\D\\";
            printDirLine(path);
            expected += "C:\\D" + dots(72) + " 0\n";
            if (pause && i == 23) expected += "\nFolmar==>  Press Enter to continue";  // no line break
        }
        EXPECT_EQ(out(), expected);
        EXPECT_EQ(fakeShownAtLastRead(), pause ? expected.find("continue") + 8 : 0u);
        EXPECT_EQ(fakeKeysRead(), pause ? 1 : 0);
        EXPECT_EQ(fakeClearCount(), pause ? 1 : 0);
        EXPECT_EQ(rs.screenLines, pause ? 1u : 24u);
    }
}

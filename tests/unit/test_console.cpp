// The console waits: what ends a wait, that a wait leaves no key behind for
// the next one, and that a console that cannot be read never blocks.
#include "app/app.h"
#include "common/output.h"
#include "tests/unit/fixture.h"

namespace {

class ConsoleTest : public FolmarTest {
protected:
    void SetUp() override {
        FolmarTest::SetUp();
        fakeSetConsole(true);
    }
};

TEST_F(ConsoleTest, AnyKeyEndsTheWaitAfterItsMessage) {
    fakePressLater('q');
    waitForKey();
    EXPECT_EQ(out(), "Folmar==>  Press Enter to continue \n");
    EXPECT_EQ(fakeBlockedReads(), 1);
    EXPECT_EQ(fakeKeysRead(), 1);
}

TEST_F(ConsoleTest, TwoPartKeyIsReadWholeAndLeavesNothingBehind) {
    fakeTypeTwoPartKey(0x48);  // cursor up: 0xE0, then its scan code
    fakeTypeKey(0);            // F1: 0, then its scan code
    fakeTypeKey(0x3B);
    readKeyAndDrain();
    EXPECT_EQ(fakeKeysRead(), 4);
    EXPECT_EQ(fakeBlockedReads(), 0);
    EXPECT_FALSE(consoleKeyWaiting());
}

TEST_F(ConsoleTest, SecondPartThatNeverComesEndsTheWait) {
    fakeTypeKey(0xE0);
    readKeyAndDrain();
    EXPECT_EQ(fakeKeysRead(), 1);
    EXPECT_EQ(fakeBlockedReads(), 1);
}

TEST_F(ConsoleTest, TypeAheadIsConsumedByOneWaitAndTheNextWaitBlocksAgain) {
    fakeTypeKey('a');
    fakeTypeTwoPartKey(0x50);
    fakeTypeKey('\r');
    waitForKey();
    EXPECT_EQ(fakeKeysRead(), 4);
    EXPECT_EQ(fakeBlockedReads(), 0);

    fakePressLater('b');
    waitForKey();
    EXPECT_EQ(fakeBlockedReads(), 1);
    EXPECT_EQ(fakeKeysRead(), 5);
}

TEST_F(ConsoleTest, ShiftAloneNeitherEndsTheWaitNorCountsAsTypeAhead) {
    fakeTypeShiftAlone();
    fakePressLater('x');
    waitForKey();
    EXPECT_EQ(fakeBlockedReads(), 1);
    EXPECT_EQ(fakeKeysRead(), 1);

    fakeTypeKey('y');
    fakeTypeShiftAlone();
    waitForKey();
    EXPECT_EQ(fakeKeysRead(), 2);
    EXPECT_EQ(fakeBlockedReads(), 1);
}

TEST_F(ConsoleTest, FailedReadEndsTheWaitAtOnce) {
    waitForKey();  // nothing will be pressed: the read fails
    EXPECT_EQ(fakeBlockedReads(), 1);
    EXPECT_EQ(fakeKeysRead(), 0);

    fakeSetConsole(false);
    fakeTypeKey('a');
    waitForKey();
    EXPECT_EQ(out(), "Folmar==>  Press Enter to continue \n"
                     "Folmar==>  Press Enter to continue \n");
    EXPECT_EQ(fakeKeysRead(), 0);
}

TEST_F(ConsoleTest, ClearScreenComesAfterEverythingWrittenBefore) {
    conText("before ");
    clearScreen();
    EXPECT_EQ(fakeClearCount(), 1);
    EXPECT_EQ(fakeLastClearOffset(), 7u);
}

}  // namespace

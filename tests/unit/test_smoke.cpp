// The record every routine shares starts from the documented values.
#include "tests/unit/fixture.h"

TEST_F(FolmarTest, RunStateStartsWithInitialValues) {
    EXPECT_EQ(rs.showDirs, 'L');
    EXPECT_EQ(rs.showFiles, 'N');
    EXPECT_EQ(rs.pageSize, 55);
    EXPECT_STREQ(rs.outputFile, "C:\\FolmarAll.txt");
    EXPECT_STREQ(rs.searchPattern, "*.*");
    EXPECT_TRUE(rs.rollUpFirst);
    EXPECT_EQ(rs.driveCursor, -1);
}

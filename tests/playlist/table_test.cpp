// The table operations over 超级列表框1.
#include <gtest/gtest.h>

#include "app/app.h"
#include "playlist/playlist.h"
#include "tests/sim_support/sim_program.h"

namespace {

using sim_support::SimProgramTest;

class PlaylistTableTest : public SimProgramTest {
protected:
    void addRows(std::initializer_list<const char*> paths) {
        for (const char* p : paths) {
            const int32_t row = playlist::appendRow();
            playlist::setCellText(row, 0, std::to_string(row + 1));
            playlist::setCellText(row, 2, p);
        }
    }
};

TEST_F(PlaylistTableTest, EmptyPlaylist) {
    EXPECT_EQ(playlist::rowCount(), 0);
    EXPECT_EQ(playlist::findRow("C:\\a.mp3"), -1);
    EXPECT_EQ(playlist::findRow(""), -1);
    EXPECT_EQ(playlist::cellText(0, 2), "");
    EXPECT_EQ(playlist::selectedRow(), -1);
}

TEST_F(PlaylistTableTest, FindRowIsExactAndYieldsTheLowestRow) {
    addRows({"C:\\m\\a.mp3", "C:\\m\\B.mp3", "C:\\m\\a.mp3", "C:\\m\\a.mp3x"});
    struct Case {
        const char* path;
        int32_t row;
    };
    for (const Case& c : {Case{"C:\\m\\a.mp3", 0}, Case{"C:\\m\\B.mp3", 1},
                          Case{"C:\\m\\b.mp3", -1}, Case{"C:\\M\\A.MP3", -1}, Case{"C:\\m\\a", -1},
                          Case{"C:\\m\\a.mp3 ", -1}, Case{"C:\\m\\a.mp3x", 3}, Case{"", -1}})
        EXPECT_EQ(playlist::findRow(c.path), c.row) << c.path;
}

TEST_F(PlaylistTableTest, EmptyPathFindsOnlyARowWithAnEmptyPath) {
    addRows({"C:\\a.mp3"});
    playlist::appendRow();  // column 2 never set
    EXPECT_EQ(playlist::findRow(""), 1);
}

TEST_F(PlaylistTableTest, MissingRowsAndColumnsReadEmptyAndIgnoreWrites) {
    addRows({"C:\\a.mp3", "C:\\b.mp3"});
    for (int32_t row : {-2, -1, 2, 100}) {
        playlist::setCellText(row, 2, "x");
        EXPECT_EQ(playlist::cellText(row, 2), "") << row;
    }
    for (int32_t column : {-1, 4}) {
        playlist::setCellText(0, column, "x");
        EXPECT_EQ(playlist::cellText(0, column), "") << column;
    }
    EXPECT_EQ(playlist::rowCount(), 2);
    EXPECT_EQ(playlist::cellText(1, 3), "");  // never set
    EXPECT_EQ(playlist::cellText(1, 2), "C:\\b.mp3");
}

TEST_F(PlaylistTableTest, SelectedRowWrites) {
    addRows({"a", "b", "c", "d"});
    struct Step {
        int32_t write;
        int32_t selected;
    };
    playlist::setSelectedRow(0);
    for (const Step& s : {Step{2, 2}, Step{-1, -1}, Step{-1, -1}, Step{1, 1}, Step{-7, -1},
                          Step{3, 3}, Step{4, 3}, Step{1000, 3}}) {
        playlist::setSelectedRow(s.write);
        EXPECT_EQ(playlist::selectedRow(), s.selected) << "after writing " << s.write;
    }
}

TEST_F(PlaylistTableTest, AppendingKeepsTheSelectionAndRaisesNoEvent) {
    addRows({"a", "b", "c"});
    playlist::setSelectedRow(1);
    EXPECT_EQ(playlist::appendRow(), 3);
    EXPECT_EQ(playlist::selectedRow(), 1);
    // Writing the selection raises no list click: the current song stays unset.
    EXPECT_EQ(app::currentSongPath, "");
}

}  // namespace

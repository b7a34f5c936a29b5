// The playlist's table operations over 超级列表框1: no index, no cache, every lookup a
// fresh scan.
#include "app/main_window.h"
#include "playlist/playlist.h"

namespace playlist {

namespace {
rt::ListView& list() {
    return app::mainWindow().超级列表框1;
}
}  // namespace

int32_t rowCount() {
    return list().rowCount();
}

int32_t appendRow() {
    return list().appendRow();
}

void setCellText(int32_t row, int32_t column, const std::string& text) {
    list().setCellText(row, column, text);
}

std::string cellText(int32_t row, int32_t column) {
    return list().cellText(row, column);
}

int32_t findRow(const std::string& path) {
    const int32_t n = rowCount();
    for (int32_t row = 0; row < n; ++row)
        if (cellText(row, 2) == path) return row;
    return -1;
}

int32_t selectedRow() {
    return list().selectedRow();
}

void setSelectedRow(int32_t row) {
    list().setSelectedRow(row);
}

}  // namespace playlist

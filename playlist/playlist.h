// The playlist: the table operations over 超级列表框1, the song import, the clock text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace playlist {

int32_t rowCount();
int32_t appendRow();
void setCellText(int32_t row, int32_t column, const std::string& text);
std::string cellText(int32_t row, int32_t column);
// Lowest row whose column 2 equals path byte for byte; -1 when none.
int32_t findRow(const std::string& path);
int32_t selectedRow();
void setSelectedRow(int32_t row);

// The import.
void onImportSongs();
std::vector<std::string> chooseSongFiles(const std::string& initialFolder);
// The text after the path's last separator, scanned by the system code page.
std::string fileNameOf(const std::string& path);

// Milliseconds as hours:minutes:seconds without leading zeros ("0:3:41").
std::string clockText(int32_t ms);

}  // namespace playlist

// The song import: the dialog, then one row per chosen file with its measured length.
#include <string>
#include <vector>

#include "playlist/playlist.h"
#include "runtime/runtime.h"

namespace playlist {

namespace {
constexpr const char* dialogTitle = "请选择音乐文件（可多选）";
constexpr const char* dialogFilter =
    "MP3文件（*.mp3）|*.mp3|WAV文件（*.wav）|*.wav|WMA文件（*.wma）|*.wma|"
    "MIDI文件（*.midi）|*.midi|"
    "所有音频文件(*.MP3;*.wav;*.wma;*.midi)|*.MP3;*.wav;*.wma;*.midi";
}  // namespace

std::vector<std::string> chooseSongFiles(const std::string& initialFolder) {
    rt::FileDialogOptions options;
    options.title = dialogTitle;
    options.filter = dialogFilter;
    options.initialFolder = initialFolder;
    options.multiSelect = true;
    // The run time hands back every chosen path, however many: no fixed-size buffer
    // caps the selection.
    return rt::platform().openFileDialog(options);
}

void onImportSongs() {
    const std::string folder = rt::platform().currentDirectory();
    const std::vector<std::string> paths = chooseSongFiles(folder);
    if (paths.empty()) return;
    // Lengths come from the run time's measurement, not from 媒体播放1: the import must
    // not close the song that plays or disturb songLengthMs, the pause point or the timer.
    const std::vector<int32_t> lengths = rt::platform().measureSongLengths(paths);
    for (size_t i = 0; i < paths.size(); ++i) {
        const int32_t row = appendRow();
        setCellText(row, 0, std::to_string(row + 1));
        setCellText(row, 1, fileNameOf(paths[i]));
        setCellText(row, 2, paths[i]);
        setCellText(row, 3, clockText(i < lengths.size() ? lengths[i] : 0));
    }
}

}  // namespace playlist

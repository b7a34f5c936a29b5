// The transport: play/pause, stop, previous, next and the playlist's clicks. The current
// row is never stored; it is looked up afresh by currentSongPath each time.
#include "app/app.h"
#include "app/main_window.h"
#include "playback/playback.h"
#include "playlist/playlist.h"

namespace playback {

namespace {
constexpr const char* welcomeTitle = "欢迎使用Tunaro！";
constexpr int32_t tickPeriodMs = 500;

// startSong's steps without the caption, which onPlayPause has already toggled.
void openAndPlayCurrent() {
    app::MainWindow& w = app::mainWindow();
    w.媒体播放1.open(app::currentSongPath);
    w.媒体播放1.play(-1);
    app::songLengthMs = w.媒体播放1.getLength();
}

void showCurrentTitle() {
    app::mainWindow().标签1.setCaption(playlist::fileNameOf(app::currentSongPath));
}

// Makes the row `target` current, selects it and starts it.
void startRow(int32_t target) {
    app::currentSongPath = playlist::cellText(target, 2);
    selectCurrentRow();
    startSong();
}
}  // namespace

void startSong() {
    app::MainWindow& w = app::mainWindow();
    openAndPlayCurrent();
    w.按钮_播放.setCaption("||");
    w.时钟1.setPeriod(tickPeriodMs);
    showCurrentTitle();
}

void selectCurrentRow() {
    playlist::setSelectedRow(playlist::findRow(app::currentSongPath));
}

void onNext() {
    const int32_t c = playlist::rowCount();
    if (c == 0) return;
    const int32_t f = playlist::findRow(app::currentSongPath);
    startRow(f == c - 1 ? 0 : f + 1);
}

void onPrevious() {
    const int32_t c = playlist::rowCount();
    if (c == 0) return;
    const int32_t f = playlist::findRow(app::currentSongPath);
    // With no current song (f == -1) the last row plays: there is no row before "none".
    startRow(f <= 0 ? c - 1 : f - 1);
}

void onPlayPause() {
    app::MainWindow& w = app::mainWindow();
    if (playlist::rowCount() == 0) return;
    if (app::currentSongPath.empty()) {
        app::currentSongPath = playlist::cellText(0, 2);
        selectCurrentRow();
    }
    // The caption toggles on every press, whatever the player is doing.
    w.按钮_播放.setCaption(w.按钮_播放.caption() == ">" ? "||" : ">");
    switch (w.媒体播放1.getState()) {
        case rt::MediaState::Other:
        case rt::MediaState::Stopped:
            openAndPlayCurrent();
            w.时钟1.setPeriod(tickPeriodMs);
            showCurrentTitle();
            break;
        case rt::MediaState::Paused:
            w.媒体播放1.play(app::pausePositionMs);
            w.时钟1.setPeriod(tickPeriodMs);
            break;
        case rt::MediaState::Playing:
            app::pausePositionMs = w.媒体播放1.getPosition();
            w.媒体播放1.pause();
            w.时钟1.setPeriod(0);
            break;
    }
}

void onStop() {
    app::MainWindow& w = app::mainWindow();
    w.媒体播放1.stop();
    w.标签1.setCaption(welcomeTitle);
    w.按钮_播放.setCaption(">");
    // The tick stops with the song: left running it would move on to the next row at
    // once for a short or unopenable song. The clock shows the start over the length.
    w.时钟1.setPeriod(0);
    w.标签2.setCaption(playlist::clockText(0) + "/" + playlist::clockText(app::songLengthMs));
}

void onPlaylistClick() {
    const int32_t s = playlist::selectedRow();
    if (s == -1) return;
    app::currentSongPath = playlist::cellText(s, 2);
}

void onPlaylistDoubleClick() {
    const int32_t s = playlist::selectedRow();
    if (s == -1) return;
    app::currentSongPath = playlist::cellText(s, 2);
    startSong();
}

}  // namespace playback

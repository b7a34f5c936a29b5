// The periodic tick of 时钟1 and the volume label.
#include <string>

#include "app/app.h"
#include "app/main_window.h"
#include "playback/playback.h"
#include "playlist/playlist.h"

namespace playback {

void onTick() {
    app::MainWindow& w = app::mainWindow();
    // 1. The slider's volume reaches the player here and nowhere else.
    const int32_t v = w.滑块条1.position();
    w.媒体播放1.setVolume(v, v);
    // 2. The position before any move (-1 when nothing is open).
    const int32_t p = w.媒体播放1.getPosition();
    // 3. Within the last half second, or past the end, or nothing open: move on.
    if (p >= app::songLengthMs - 500) onNext();
    // 4. The old position over the (possibly new) song's length.
    w.标签2.setCaption(playlist::clockText(p) + "/" + playlist::clockText(app::songLengthMs));
}

void onVolumeSlide() {
    app::MainWindow& w = app::mainWindow();
    w.标签4.setCaption(std::to_string(w.滑块条1.position()) + "%");
}

}  // namespace playback

// Playback: the transport handlers over the playlist, the tick and the volume label.
#pragma once

namespace playback {

void onPlayPause();
void onStop();
void onPrevious();
void onNext();
void onPlaylistClick();
void onPlaylistDoubleClick();

void onTick();
void onVolumeSlide();

// Shared steps.
void startSong();
void selectCurrentRow();

}  // namespace playback

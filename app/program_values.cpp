#include "app/app.h"

namespace app {

std::string currentSongPath;
int32_t songLengthMs = 0;
int32_t pausePositionMs = 0;

}  // namespace app

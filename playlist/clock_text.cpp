// Milliseconds as hours:minutes:seconds, each field on its own, without padding.
#include <string>

#include "playlist/playlist.h"

namespace playlist {

std::string clockText(int32_t ms) {
    // C++ division truncates toward zero and % keeps the dividend's sign, which is what
    // the negative positions (-1 while nothing is open) need.
    const int32_t seconds = ms / 1000;
    const int32_t minutes = seconds / 60;
    const int32_t hours = minutes / 60;
    return std::to_string(hours % 60) + ":" + std::to_string(minutes % 60) + ":" +
           std::to_string(seconds % 60);
}

}  // namespace playlist

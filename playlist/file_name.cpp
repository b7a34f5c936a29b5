// The file name of a path: what follows its last separator, scanned by the code page.
#include "playlist/playlist.h"
#include "runtime/runtime.h"

namespace playlist {

std::string fileNameOf(const std::string& path) {
    const rt::Platform& p = rt::platform();
    const size_t at = rt::lastSeparator(path, p.separator(), p.codePage());
    if (at == std::string::npos) return path;
    return path.substr(at + 1);
}

}  // namespace playlist

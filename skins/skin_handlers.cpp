// The window's created event and the random-skin button.
#include "runtime/runtime.h"
#include "skins/skins.h"

namespace skins {

void onWindowCreated() {
    rt::seedRandom(rt::platform().tickCount());
    applySkin(2);
}

void onRandomSkin() {
    applySkin(1 + rt::nextRandom() % skinCount);
}

}  // namespace skins

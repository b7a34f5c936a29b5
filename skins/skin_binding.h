// Inside the skins folder: the binding of the engine's export.
#pragma once

namespace skins {

// Drops the held export address, as a new run starts without one. For tests that run
// several start-ups in one process; the library itself stays with the run time.
void forgetEngineBinding();

}  // namespace skins

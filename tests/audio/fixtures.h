// Songs written once per test program into a temporary folder, and waits with timeouts.
#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace audio::testing {

// The folder, made on first use and removed when the program ends.
const std::string& fixtureDir();
// fixtureDir() + "/" + name.
std::string fixturePath(const std::string& name);

// Polls pred every 2 ms until it holds or timeout passes; true when it held.
bool waitUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout);

}  // namespace audio::testing

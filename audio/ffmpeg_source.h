// Decoding through libavformat/libavcodec: the frame counter that defines the decoded
// length of the formats measured by the general path, and the tests' reference.
#pragma once

#include <cstdint>
#include <string>

namespace audio {

// Any thread. Decodes the whole file and counts the sample frames the decoder outputs
// (after its own trims). False when it cannot be decoded.
bool decodedFrameCount(const std::string& path, int64_t& frames, int32_t& rate);

}  // namespace audio

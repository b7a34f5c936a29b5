// The ".TSK" skin format, version 1. Little-endian throughout.
//
//   offset  size  field
//   0       4     magic ".TSK"
//   4       2     version (1)
//   6       2     skin number (informational)
//   8       4     body length: the total length minus this 12-byte header
//   12      ...   records, back to back to the end of the body:
//                   2 tag, 4 length, then length bytes of data
//
// Records (each exactly once, in any order; an unknown tag is refused):
//   1 name         UTF-8, 1..128 bytes
//   2 palette      entries of 6 bytes: group (0 all, 1 active, 2 inactive, 3 disabled),
//                  role (a QPalette::ColorRole below NColorRoles, not NoRole), red, green,
//                  blue, alpha
//   3 style sheet  UTF-8, 1..65536 bytes, no zero byte
//
// Nothing here depends on Qt, so the build tools and the tests share the one parser.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace skins::tsk {

constexpr uint16_t formatVersion = 1;
constexpr size_t headerSize = 12;
constexpr size_t recordHeaderSize = 6;
constexpr size_t maxNameBytes = 128;
constexpr size_t maxSheetBytes = 65536;
// QPalette::NColorRoles in Qt 6.4; a role at or past it is refused.
constexpr uint8_t roleCount = 21;
constexpr uint8_t noRole = 17;

enum Tag : uint16_t { TagName = 1, TagPalette = 2, TagSheet = 3 };

enum class Group : uint8_t { All = 0, Active = 1, Inactive = 2, Disabled = 3 };

// Parse results. The engine returns these values from its export.
enum class Status : int32_t {
    Ok = 0,
    NoApplication = 1,  // no QApplication in the process
    WrongThread = 2,    // called off the application's thread
    NullBytes = 3,      // a length without bytes, or a negative length
    Truncated = 4,      // shorter than its header or a record claims
    BadMagic = 5,
    BadVersion = 6,
    BadLength = 7,  // body length disagrees with the bytes given
    UnknownRecord = 8,
    DuplicateRecord = 9,
    MissingRecord = 10,
    BadName = 11,
    BadPalette = 12,
    BadSheet = 13,
    Failed = 14,  // the toolkit gave up (out of memory)
};

struct PaletteEntry {
    Group group;
    uint8_t role;
    uint8_t red, green, blue, alpha;
};

// Views into the parsed bytes: valid only while those bytes are.
struct Skin {
    uint16_t number = 0;
    std::string_view name;
    std::vector<PaletteEntry> palette;
    std::string_view sheet;
};

// Checks every length against the bytes given before reading them.
Status parse(std::span<const uint8_t> bytes, Skin& out);

// The bytes of a skin; the inverse of parse().
std::vector<uint8_t> build(const Skin& skin);

bool isValidUtf8(std::string_view text);

}  // namespace skins::tsk

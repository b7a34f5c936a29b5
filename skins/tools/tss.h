// Skin sources (.tss): a readable palette and style per skin, compiled at build time into
// the ".TSK" bytes of the catalogue.
//
//   # comment
//   name = 晨雾青
//   character = one line on what the skin is like
//   style = flat | soft | glossy | outline      (how buttons are filled)
//   radius = 0..6                               (corner radius in pixels)
//   [colours]
//   window = #eef3f4                            (#rrggbb; the keys below)
//   [sheet]
//   extra style-sheet rules, appended after the shared template; ${key} expands
//
// Required colours: window text button buttonText accent accentText base baseText.
// Every other colour the template uses is derived from them unless given.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "skins/engine/tsk_format.h"

namespace skins::tss {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

struct Source {
    int number = 0;
    std::string name;
    std::string character;
    std::string style;
    int radius = 0;
    std::map<std::string, Rgb> colours;  // as written
    std::string extraSheet;
};

// A text colour over a background colour and what the pair is for.
struct TextPair {
    std::string text, background;
};

// Throws std::runtime_error with the line at fault.
Source parse(const std::string& text, int number);

// The full colour set: the given ones and the derived rest.
std::map<std::string, Rgb> resolveColours(const Source& source);

// Every pair of text over background that the skin draws; each must reach 4.5:1.
std::vector<TextPair> textPairs();

// WCAG 2 contrast ratio, 1..21.
double contrast(Rgb a, Rgb b);

// "${key}" replaced from vars; an unknown key throws.
std::string expand(const std::string& sheet, const std::map<std::string, std::string>& vars);

// The skin ready for the engine: palette from the colours, the template expanded.
// Throws when a text pair falls short of 4.5:1.
tsk::Skin compile(const Source& source, const std::string& sheetTemplate, std::string& sheet);

std::string hex(Rgb c);

}  // namespace skins::tss

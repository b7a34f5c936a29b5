#include "skins/tools/tss.h"

#include <cmath>
#include <sstream>
#include <stdexcept>

namespace skins::tss {

namespace {

std::string trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) return {};
    const size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

Rgb parseColour(const std::string& v) {
    if (v.size() != 7 || v[0] != '#') throw std::runtime_error("colour is not #rrggbb: " + v);
    auto nib = [&](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        throw std::runtime_error("colour is not #rrggbb: " + v);
    };
    auto byte = [&](int i) { return static_cast<uint8_t>(nib(v[i]) * 16 + nib(v[i + 1])); };
    return {byte(1), byte(3), byte(5)};
}

Rgb mix(Rgb a, Rgb b, double t) {
    auto m = [t](uint8_t x, uint8_t y) {
        return static_cast<uint8_t>(std::lround(x + (y - x) * t));
    };
    return {m(a.r, b.r), m(a.g, b.g), m(a.b, b.b)};
}

// The strongest tint of bg towards toward that text still reads on at 4.5:1.
Rgb tintKeepingContrast(Rgb bg, Rgb toward, Rgb text, double most) {
    double best = 0;
    for (double t = 0; t <= most + 1e-9; t += 0.02) {
        if (contrast(text, mix(bg, toward, t)) >= 4.6) best = t;
    }
    return mix(bg, toward, best);
}

// fg moved towards `toward` until it reads on bg at 4.5:1.
Rgb strengthen(Rgb fg, Rgb toward, Rgb bg) {
    for (double t = 0; t <= 1.0 + 1e-9; t += 0.02) {
        const Rgb c = mix(fg, toward, t);
        if (contrast(c, bg) >= 4.6) return c;
    }
    return toward;
}

double channel(uint8_t v) {
    const double c = v / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(Rgb c) {
    return 0.2126 * channel(c.r) + 0.7152 * channel(c.g) + 0.0722 * channel(c.b);
}

const Rgb white{255, 255, 255};
const Rgb black{0, 0, 0};

}  // namespace

std::string hex(Rgb c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", c.r, c.g, c.b);
    return buf;
}

double contrast(Rgb a, Rgb b) {
    double la = luminance(a), lb = luminance(b);
    if (la < lb) std::swap(la, lb);
    return (la + 0.05) / (lb + 0.05);
}

Source parse(const std::string& text, int number) {
    Source s;
    s.number = number;
    std::istringstream in(text);
    std::string line;
    std::string section;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (section == "sheet") {
            if (trim(line) == "[end]") {
                section.clear();
                continue;
            }
            s.extraSheet += line + "\n";
            continue;
        }
        const std::string t = trim(line);
        if (t.empty() || t[0] == '#') continue;
        if (t.front() == '[' && t.back() == ']') {
            section = t.substr(1, t.size() - 2);
            if (section != "colours" && section != "sheet")
                throw std::runtime_error("line " + std::to_string(lineNo) + ": unknown section");
            continue;
        }
        const size_t eq = t.find('=');
        if (eq == std::string::npos)
            throw std::runtime_error("line " + std::to_string(lineNo) + ": expected key = value");
        const std::string key = trim(t.substr(0, eq));
        const std::string value = trim(t.substr(eq + 1));
        if (section == "colours") {
            s.colours[key] = parseColour(value);
        } else if (key == "name") {
            s.name = value;
        } else if (key == "character") {
            s.character = value;
        } else if (key == "style") {
            if (value != "flat" && value != "soft" && value != "glossy" && value != "outline")
                throw std::runtime_error("line " + std::to_string(lineNo) + ": unknown style");
            s.style = value;
        } else if (key == "radius") {
            s.radius = std::stoi(value);
            if (s.radius < 0 || s.radius > 6)
                throw std::runtime_error("line " + std::to_string(lineNo) + ": radius 0..6");
        } else {
            throw std::runtime_error("line " + std::to_string(lineNo) + ": unknown key " + key);
        }
    }
    if (s.name.empty() || s.character.empty() || s.style.empty())
        throw std::runtime_error("name, character and style are required");
    for (const char* k :
         {"window", "text", "button", "buttonText", "accent", "accentText", "base", "baseText"}) {
        if (!s.colours.count(k)) throw std::runtime_error(std::string("colour missing: ") + k);
    }
    return s;
}

std::map<std::string, Rgb> resolveColours(const Source& s) {
    std::map<std::string, Rgb> c = s.colours;
    auto def = [&](const char* key, Rgb v) { c.emplace(key, v); };
    const Rgb window = c["window"], text = c["text"], button = c["button"],
              buttonText = c["buttonText"], accent = c["accent"], accentText = c["accentText"],
              base = c["base"], baseText = c["baseText"];
    const bool darkWindow = luminance(window) < 0.18;
    const Rgb lift = darkWindow ? white : black;

    // Button faces: the two ends of the fill for each state.
    // On a dark skin a light top would drown the light caption: lift it only a little.
    if (s.style == "glossy") {
        def("buttonTop", mix(button, white, darkWindow ? 0.14 : 0.55));
        def("buttonBottom", mix(button, black, 0.04));
    } else if (s.style == "soft") {
        def("buttonTop", mix(button, white, darkWindow ? 0.07 : 0.30));
        def("buttonBottom", button);
    } else if (s.style == "outline") {
        def("buttonTop", window);
        def("buttonBottom", window);
    } else {
        def("buttonTop", button);
        def("buttonBottom", button);
    }
    def("hover", tintKeepingContrast(c["buttonBottom"], accent, buttonText, 0.22));
    def("hoverTop", s.style == "flat" || s.style == "outline"
                        ? c["hover"]
                        : mix(c["hover"], white, darkWindow ? 0.08 : 0.35));
    def("hoverText", buttonText);
    def("pressed", accent);
    def("pressedText", accentText);
    def("focus", accent);
    def("border", mix(window, text, darkWindow ? 0.35 : 0.32));
    def("buttonBorder", s.style == "outline" ? accent : c["border"]);

    def("altBase", tintKeepingContrast(base, mix(base, accent, 0.5), baseText, 0.08));
    def("header", s.style == "outline" ? base : mix(button, window, 0.5));
    def("headerText", buttonText);
    def("grid", mix(base, baseText, 0.13));
    def("highlight", accent);
    def("highlightText", accentText);
    def("rowHover", tintKeepingContrast(base, accent, baseText, 0.12));

    def("groove", mix(window, text, 0.22));
    def("fill", accent);
    def("handle", button);
    def("handleEdge", mix(button, text, 0.45));

    def("tooltip", base);
    def("tooltipText", baseText);
    def("disabledText", mix(text, window, 0.55));
    def("placeholder", strengthen(mix(baseText, base, 0.5), baseText, base));
    def("link", strengthen(accent, baseText, base));
    def("chunk", tintKeepingContrast(base, accent, baseText, 1.0));
    def("scrollHandle", mix(base, baseText, 0.28));
    def("scrollTrack", mix(base, baseText, 0.06));
    def("light", mix(button, white, 0.6));
    def("midlight", mix(button, white, 0.3));
    def("mid", mix(button, lift, 0.3));
    def("dark", mix(button, black, 0.4));
    def("shadow", mix(button, black, 0.7));
    return c;
}

std::vector<TextPair> textPairs() {
    return {
        {"text", "window"},       {"buttonText", "buttonTop"}, {"buttonText", "buttonBottom"},
        {"hoverText", "hover"},   {"hoverText", "hoverTop"},   {"pressedText", "pressed"},
        {"accentText", "accent"}, {"baseText", "base"},        {"baseText", "altBase"},
        {"baseText", "rowHover"}, {"baseText", "chunk"},       {"highlightText", "highlight"},
        {"headerText", "header"}, {"tooltipText", "tooltip"},  {"placeholder", "base"},
        {"link", "base"},         {"buttonText", "button"},
    };
}

std::string expand(const std::string& sheet, const std::map<std::string, std::string>& vars) {
    std::string out;
    size_t i = 0;
    while (i < sheet.size()) {
        const size_t at = sheet.find("${", i);
        if (at == std::string::npos) {
            out += sheet.substr(i);
            break;
        }
        out += sheet.substr(i, at - i);
        const size_t close = sheet.find('}', at);
        if (close == std::string::npos) throw std::runtime_error("unclosed ${ in sheet");
        const std::string key = sheet.substr(at + 2, close - at - 2);
        const auto it = vars.find(key);
        if (it == vars.end()) throw std::runtime_error("unknown ${" + key + "} in sheet");
        out += it->second;
        i = close + 1;
    }
    return out;
}

// Comments are for the sources; the engine gets the rules alone.
std::string withoutComments(const std::string& sheet) {
    std::string out;
    size_t i = 0;
    while (i < sheet.size()) {
        const size_t open = sheet.find("/*", i);
        if (open == std::string::npos) {
            out += sheet.substr(i);
            break;
        }
        out += sheet.substr(i, open - i);
        const size_t close = sheet.find("*/", open + 2);
        if (close == std::string::npos) throw std::runtime_error("unclosed comment in sheet");
        i = close + 2;
    }
    return out;
}

tsk::Skin compile(const Source& s, const std::string& sheetTemplate, std::string& sheet) {
    const std::map<std::string, Rgb> c = resolveColours(s);
    for (const TextPair& p : textPairs()) {
        const double ratio = contrast(c.at(p.text), c.at(p.background));
        if (ratio < 4.5) {
            std::ostringstream msg;
            msg << "skin " << s.number << " (" << s.name << "): " << p.text << " "
                << hex(c.at(p.text)) << " on " << p.background << " " << hex(c.at(p.background))
                << " reaches only " << ratio << ":1";
            throw std::runtime_error(msg.str());
        }
    }

    std::map<std::string, std::string> vars;
    for (const auto& [k, v] : c) vars[k] = hex(v);
    vars["radius"] = std::to_string(s.radius);
    vars["radiusSmall"] = std::to_string(s.radius / 2);
    auto fill = [&](const char* top, const char* bottom) {
        if (c.at(top) == c.at(bottom)) return hex(c.at(bottom));
        return "qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 " + hex(c.at(top)) + ", stop:1 " +
               hex(c.at(bottom)) + ")";
    };
    vars["buttonFill"] = fill("buttonTop", "buttonBottom");
    vars["hoverFill"] = fill("hoverTop", "hover");
    vars["headerFill"] = hex(c.at("header"));
    sheet =
        expand(withoutComments(sheetTemplate), vars) + expand(withoutComments(s.extraSheet), vars);

    tsk::Skin skin;
    skin.number = static_cast<uint16_t>(s.number);
    skin.name = s.name;
    skin.sheet = sheet;
    auto put = [&](tsk::Group g, uint8_t role, const char* key) {
        const Rgb v = c.at(key);
        skin.palette.push_back({g, role, v.r, v.g, v.b, 255});
    };
    using G = tsk::Group;
    // QPalette::ColorRole values.
    put(G::All, 0, "text");            // WindowText
    put(G::All, 1, "button");          // Button
    put(G::All, 2, "light");           // Light
    put(G::All, 3, "midlight");        // Midlight
    put(G::All, 4, "dark");            // Dark
    put(G::All, 5, "mid");             // Mid
    put(G::All, 6, "baseText");        // Text
    put(G::All, 7, "accentText");      // BrightText
    put(G::All, 8, "buttonText");      // ButtonText
    put(G::All, 9, "base");            // Base
    put(G::All, 10, "window");         // Window
    put(G::All, 11, "shadow");         // Shadow
    put(G::All, 12, "highlight");      // Highlight
    put(G::All, 13, "highlightText");  // HighlightedText
    put(G::All, 14, "link");           // Link
    put(G::All, 15, "link");           // LinkVisited
    put(G::All, 16, "altBase");        // AlternateBase
    put(G::All, 18, "tooltip");        // ToolTipBase
    put(G::All, 19, "tooltipText");    // ToolTipText
    put(G::All, 20, "placeholder");    // PlaceholderText
    put(G::Disabled, 0, "disabledText");
    put(G::Disabled, 6, "disabledText");
    put(G::Disabled, 8, "disabledText");
    return skin;
}

}  // namespace skins::tss

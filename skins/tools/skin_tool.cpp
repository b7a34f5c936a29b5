// Build-time tool: compiles the skin sources into the catalogue, and turns the engine
// library into the player's embedded image. Both outputs are C++ sources whose bytes lie
// in read-only data.
//
//   tunaro_skin_tool catalogue OUT.cpp TEMPLATE.qss NN-name.tss...
//   tunaro_skin_tool embed OUT.cpp ENGINE.so
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "skins/skins.h"
#include "skins/tools/tss.h"

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeArray(std::ostream& out, const std::string& name, const uint8_t* p, size_t n) {
    out << "alignas(8) const uint8_t " << name << "[] = {";
    static const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < n; ++i) {
        if (i % 24 == 0) out << "\n   ";
        out << " 0x" << digits[p[i] >> 4] << digits[p[i] & 15] << ",";
    }
    out << "\n};\n";
}

// Through a temporary, so that an interrupted build leaves no half-written source.
void writeFile(const std::string& path, const std::string& text) {
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) throw std::runtime_error("cannot write " + temp);
    }
    std::filesystem::rename(temp, path);
}

int catalogue(const std::string& outPath, const std::string& templatePath,
              const std::vector<std::string>& sources) {
    const std::string sheetTemplate = readFile(templatePath);
    std::vector<std::string> entries(skins::skinCount + 1);
    std::vector<std::string> names(skins::skinCount + 1);
    for (const std::string& path : sources) {
        const std::string file = std::filesystem::path(path).filename().string();
        const int number = std::atoi(file.c_str());
        if (number < 1 || number > skins::skinCount || file.size() < 3 || file[2] != '-')
            throw std::runtime_error(file + ": a skin file is named NN-name.tss, NN 01..33");
        if (!entries[number].empty()) throw std::runtime_error(file + ": number used twice");
        skins::tss::Source src;
        try {
            src = skins::tss::parse(readFile(path), number);
        } catch (const std::exception& e) {
            throw std::runtime_error(file + ": " + e.what());
        }
        std::string sheet;
        const skins::tsk::Skin skin = skins::tss::compile(src, sheetTemplate, sheet);
        const std::vector<uint8_t> bytes = skins::tsk::build(skin);
        skins::tsk::Skin check;
        if (skins::tsk::parse(bytes, check) != skins::tsk::Status::Ok)
            throw std::runtime_error(file + ": the compiled skin does not parse");
        entries[number].assign(bytes.begin(), bytes.end());
        names[number] = src.name;
    }
    for (int n = 1; n <= skins::skinCount; ++n) {
        if (entries[n].empty()) throw std::runtime_error("skin " + std::to_string(n) + " missing");
    }

    std::ostringstream out;
    out << "// Generated from skins/catalogue by tunaro_skin_tool. Do not edit.\n"
           "#include \"skins/skins.h\"\n\nnamespace skins {\n\nnamespace {\n\n";
    for (int n = 1; n <= skins::skinCount; ++n) {
        out << "// " << n << " " << names[n] << "\n";
        writeArray(out, "skin" + std::to_string(n),
                   reinterpret_cast<const uint8_t*>(entries[n].data()), entries[n].size());
        out << "\n";
    }
    out << "const std::span<const uint8_t> entries[skinCount] = {\n";
    for (int n = 1; n <= skins::skinCount; ++n) out << "    skin" << n << ",\n";
    out << "};\n\n}  // namespace\n\n"
           "std::span<const uint8_t> skinCatalogue(int32_t n) {\n"
           "    if (n < 1 || n > skinCount) return {};\n"
           "    return entries[n - 1];\n"
           "}\n\n}  // namespace skins\n";
    writeFile(outPath, out.str());
    return 0;
}

int embed(const std::string& outPath, const std::string& enginePath) {
    const std::string image = readFile(enginePath);
    if (image.size() < 4 || image.compare(0, 4,
                                          "\x7f"
                                          "ELF") != 0)
        throw std::runtime_error(enginePath + " is not a shared library");
    std::ostringstream out;
    out << "// Generated from the engine library by tunaro_skin_tool. Do not edit.\n"
           "#include \"skins/skins.h\"\n\nnamespace skins {\n\nnamespace {\n\n";
    writeArray(out, "engineImage", reinterpret_cast<const uint8_t*>(image.data()), image.size());
    out << "\n}  // namespace\n\n"
           "std::span<const uint8_t> skinEngineImage() { return engineImage; }\n\n"
           "}  // namespace skins\n";
    writeFile(outPath, out.str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        if (args.size() >= 3 && args[0] == "catalogue")
            return catalogue(args[1], args[2], {args.begin() + 3, args.end()});
        if (args.size() == 3 && args[0] == "embed") return embed(args[1], args[2]);
        std::cerr << "usage: tunaro_skin_tool catalogue OUT.cpp TEMPLATE.qss SKIN.tss...\n"
                     "       tunaro_skin_tool embed OUT.cpp ENGINE.so\n";
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "tunaro_skin_tool: " << e.what() << "\n";
        return 1;
    }
}

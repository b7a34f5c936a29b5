// The catalogue as the build made it, against its sources.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "skins/engine/tsk_format.h"
#include "skins/skins.h"
#include "skins/tools/tss.h"

namespace {

namespace fs = std::filesystem;
using skins::tss::Rgb;

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

const fs::path sources = TUNARO_SKIN_SOURCES;

TEST(SkinCatalogue, EveryEntryIsItsSourceCompiled) {
    const std::string sheetTemplate = readFile(sources / "template.qss");
    std::set<int> numbers;
    std::set<std::string> names;
    for (const auto& f : fs::directory_iterator(sources)) {
        if (f.path().extension() != ".tss") continue;
        const int n = std::stoi(f.path().filename().string().substr(0, 2));
        SCOPED_TRACE(f.path().filename().string());
        const skins::tss::Source src = skins::tss::parse(readFile(f.path()), n);
        std::string sheet;
        const std::vector<uint8_t> expected =
            skins::tsk::build(skins::tss::compile(src, sheetTemplate, sheet));
        const auto entry = skins::skinCatalogue(n);
        ASSERT_EQ(std::vector<uint8_t>(entry.begin(), entry.end()), expected);
        EXPECT_EQ(std::string(entry.begin(), entry.begin() + 4), ".TSK");
        EXPECT_EQ(entry[6] | (entry[7] << 8), n);
        EXPECT_FALSE(src.character.empty());
        EXPECT_EQ(sheet.find("font"), std::string::npos) << "a skin never changes the font";
        EXPECT_EQ(sheet.find("/*"), std::string::npos);
        numbers.insert(n);
        names.insert(src.name);
    }
    EXPECT_EQ(numbers.size(), size_t(skins::skinCount));
    EXPECT_EQ(names.size(), size_t(skins::skinCount)) << "every skin has a name of its own";
}

// Damaged copies of real entries: the parser reads only inside the bytes it is given (a
// sanitizer build checks that) and never takes a damaged header or record frame.
TEST(SkinFormat, DamagedEntriesNeverReadOutsideTheirBytes) {
    uint32_t x = 12345;
    auto next = [&] { return x = x * 1103515245u + 12345u, (x >> 8) & 0xffffff; };
    for (int n = 1; n <= skins::skinCount; ++n) {
        const auto entry = skins::skinCatalogue(n);
        for (int round = 0; round < 300; ++round) {
            std::vector<uint8_t> damaged(entry.begin(), entry.end());
            const int flips = 1 + int(next() % 4);
            for (int f = 0; f < flips; ++f) {
                // Most damage lands in the header and record frames, where lengths live.
                const size_t at = next() % 2 ? next() % 24 : next() % damaged.size();
                damaged[at] = uint8_t(next());
            }
            damaged.resize(damaged.size() - next() % 3);
            const std::unique_ptr<uint8_t[]> exact(new uint8_t[damaged.size()]);
            std::copy(damaged.begin(), damaged.end(), exact.get());
            skins::tsk::Skin skin;
            const auto status = skins::tsk::parse({exact.get(), damaged.size()}, skin);
            if (status == skins::tsk::Status::Ok) {
                // Taken: then every view lies inside the bytes.
                const auto inside = [&](std::string_view v) {
                    return v.data() >= reinterpret_cast<const char*>(exact.get()) &&
                           v.data() + v.size() <=
                               reinterpret_cast<const char*>(exact.get()) + damaged.size();
                };
                EXPECT_TRUE(inside(skin.name) && inside(skin.sheet));
                EXPECT_EQ(std::string(damaged.begin(), damaged.begin() + 4), ".TSK");
            }
        }
    }
}

TEST(SkinCatalogue, NumbersOutsideTheCatalogueHaveNoEntry) {
    for (int n : {0, -1, 34, INT_MIN, INT_MAX}) EXPECT_TRUE(skins::skinCatalogue(n).empty()) << n;
    EXPECT_FALSE(skins::skinCatalogue(1).empty());
    EXPECT_FALSE(skins::skinCatalogue(33).empty());
}

TEST(SkinCatalogue, EveryTextColourReadsAtFourAndAHalfToOne) {
    for (const auto& f : fs::directory_iterator(sources)) {
        if (f.path().extension() != ".tss") continue;
        SCOPED_TRACE(f.path().filename().string());
        const auto colours = skins::tss::resolveColours(skins::tss::parse(readFile(f.path()), 1));
        for (const auto& p : skins::tss::textPairs()) {
            EXPECT_GE(skins::tss::contrast(colours.at(p.text), colours.at(p.background)), 4.5)
                << p.text << " on " << p.background;
        }
    }
}

TEST(SkinCatalogue, ContrastIsWcags) {
    struct Case {
        Rgb a, b;
        double ratio;
    };
    const Case cases[] = {
        {{0, 0, 0}, {255, 255, 255}, 21.0},          {{255, 255, 255}, {0, 0, 0}, 21.0},
        {{0x77, 0x77, 0x77}, {255, 255, 255}, 4.48}, {{0x76, 0x76, 0x76}, {255, 255, 255}, 4.54},
        {{255, 0, 0}, {255, 255, 255}, 4.00},        {{0x12, 0x34, 0x56}, {0x12, 0x34, 0x56}, 1.0},
    };
    for (const Case& c : cases) EXPECT_NEAR(skins::tss::contrast(c.a, c.b), c.ratio, 0.01);
}

TEST(SkinCatalogue, ASkinWhoseTextIsTooFaintDoesNotBuild) {
    const std::string faint =
        "name = 淡\ncharacter = too faint\nstyle = flat\nradius = 0\n[colours]\n"
        "window = #ffffff\ntext = #999999\nbutton = #ffffff\nbuttonText = #000000\n"
        "accent = #000000\naccentText = #ffffff\nbase = #ffffff\nbaseText = #000000\n";
    std::string sheet;
    EXPECT_THROW(skins::tss::compile(skins::tss::parse(faint, 1), "", sheet), std::runtime_error);
}

}  // namespace

// The real engine library, loaded as the player loads it, on Qt's offscreen platform.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QPalette>
#include <QWidget>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "skins/engine/tsk_format.h"
#include "skins/engine/tunaroskin.h"
#include "skins/skins.h"
#include "skins/tools/tss.h"

namespace {

using skins::tsk::Status;
using Bytes = std::vector<uint8_t>;

TunaroSkinAttachRes attach = nullptr;
int32_t answerWithoutApplication = -1;  // before any QApplication existed
QPalette defaultPalette;                // the application's own, before any skin

// The bytes in a buffer of exactly their size, so that a read past the end is a real
// out-of-bounds read (and a sanitizer build reports it).
int32_t apply(const Bytes& bytes) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes.size() ? bytes.size() : 1]);
    if (!bytes.empty()) std::memcpy(copy.get(), bytes.data(), bytes.size());
    return attach(bytes.empty() ? nullptr : copy.get(), static_cast<int32_t>(bytes.size()), "", 0,
                  0, 0);
}

int32_t applyEntry(int n) {
    const auto e = skins::skinCatalogue(n);
    return apply(Bytes(e.begin(), e.end()));
}

int32_t applyEmpty() {
    return attach(nullptr, 0, "", 0, 0, 0);
}

bool samePalette(const QPalette& a, const QPalette& b) {
    for (int g = 0; g < QPalette::NColorGroups; ++g) {
        for (int r = 0; r < QPalette::NColorRoles; ++r) {
            const auto group = static_cast<QPalette::ColorGroup>(g);
            const auto role = static_cast<QPalette::ColorRole>(r);
            if (role == QPalette::NoRole) continue;
            if (a.color(group, role) != b.color(group, role)) return false;
        }
    }
    return true;
}

class SkinEngine : public ::testing::Test {
protected:
    void TearDown() override { applyEmpty(); }
};

TEST_F(SkinEngine, RefusesWhenNoApplicationExists) {
    EXPECT_EQ(answerWithoutApplication, int32_t(Status::NoApplication));
}

TEST_F(SkinEngine, RefusesCallsOffTheApplicationsThread) {
    const auto e = skins::skinCatalogue(4);
    int32_t answer = -1;
    std::thread([&] { answer = attach(e.data(), int32_t(e.size()), "", 0, 0, 0); }).join();
    EXPECT_EQ(answer, int32_t(Status::WrongThread));
    EXPECT_TRUE(qApp->styleSheet().isEmpty());
}

TEST_F(SkinEngine, TakesEveryCatalogueEntry) {
    for (int n = 1; n <= skins::skinCount; ++n) {
        SCOPED_TRACE(n);
        ASSERT_EQ(applyEntry(n), 0);
        skins::tsk::Skin skin;
        ASSERT_EQ(skins::tsk::parse(skins::skinCatalogue(n), skin), Status::Ok);
        // The application now wears this skin: its window colour and its style sheet.
        for (const auto& e : skin.palette) {
            if (e.group == skins::tsk::Group::All && e.role == QPalette::Window)
                EXPECT_EQ(QApplication::palette().color(QPalette::Window),
                          QColor(e.red, e.green, e.blue));
        }
        EXPECT_EQ(qApp->styleSheet().toStdString(), std::string(skin.sheet));
    }
}

// Raw entries, record by record, for the malformed cases.
void put16(Bytes& b, uint16_t v) {
    b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)});
}
void put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
Bytes record(uint16_t tag, const Bytes& data) {
    Bytes b;
    put16(b, tag);
    put32(b, uint32_t(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    return b;
}
Bytes text(const char* s) {
    return Bytes(s, s + std::strlen(s));
}
Bytes entry(const std::vector<Bytes>& records, uint16_t version = 1) {
    Bytes body;
    for (const Bytes& r : records) body.insert(body.end(), r.begin(), r.end());
    Bytes b = text(".TSK");
    put16(b, version);
    put16(b, 7);
    put32(b, uint32_t(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}
const Bytes goodName = record(1, text("测试"));
const Bytes goodPalette = record(2, {0, QPalette::Window, 10, 20, 30, 255});
const Bytes goodSheet = record(3, text("QPushButton { color: #102030; }"));

struct Malformed {
    const char* what;
    Bytes bytes;
    Status expected;
};

TEST_F(SkinEngine, RefusesMalformedEntriesAndKeepsTheLook) {
    Bytes badMagic = entry({goodName, goodPalette, goodSheet});
    badMagic[1] = 'X';
    Bytes longBody = entry({goodName, goodPalette, goodSheet});
    longBody[8] += 1;
    Bytes shortBody = entry({goodName, goodPalette, goodSheet});
    shortBody[8] -= 1;
    Bytes recordPastEnd = entry({goodName, goodPalette, goodSheet});
    recordPastEnd[14] = 0xF0;  // the first record's length, low byte
    recordPastEnd[17] = 0xFF;  // and high byte: far past the end
    Bytes cutRecordHeader = entry({goodName, goodPalette, goodSheet, Bytes{3, 0, 0}});

    const Bytes whole = entry({goodName, goodPalette, goodSheet});
    const std::vector<Malformed> cases = {
        {"eleven bytes", Bytes(whole.begin(), whole.begin() + 11), Status::Truncated},
        {"bad magic", badMagic, Status::BadMagic},
        {"version 2", entry({goodName, goodPalette, goodSheet}, 2), Status::BadVersion},
        {"version 0", entry({goodName, goodPalette, goodSheet}, 0), Status::BadVersion},
        {"body longer than the bytes", longBody, Status::Truncated},
        {"bytes beyond the body", shortBody, Status::BadLength},
        {"record length past the end", recordPastEnd, Status::Truncated},
        {"record header cut short", cutRecordHeader, Status::Truncated},
        {"unknown record", entry({goodName, goodPalette, goodSheet, record(9, {1})}),
         Status::UnknownRecord},
        {"record 0", entry({goodName, goodPalette, goodSheet, record(0, {1})}),
         Status::UnknownRecord},
        {"name twice", entry({goodName, goodPalette, goodSheet, goodName}),
         Status::DuplicateRecord},
        {"no style sheet", entry({goodName, goodPalette}), Status::MissingRecord},
        {"no name", entry({goodPalette, goodSheet}), Status::MissingRecord},
        {"empty name", entry({record(1, {}), goodPalette, goodSheet}), Status::BadName},
        {"name not UTF-8", entry({record(1, {0xE6, 0xB5}), goodPalette, goodSheet}),
         Status::BadName},
        {"palette entry cut", entry({goodName, record(2, {0, 10, 1, 2, 3, 4, 0}), goodSheet}),
         Status::BadPalette},
        {"palette role past the last",
         entry({goodName, record(2, {0, 21, 1, 2, 3, 255}), goodSheet}), Status::BadPalette},
        {"palette group past the last",
         entry({goodName, record(2, {4, 10, 1, 2, 3, 255}), goodSheet}), Status::BadPalette},
        {"palette NoRole", entry({goodName, record(2, {0, 17, 1, 2, 3, 255}), goodSheet}),
         Status::BadPalette},
        {"zero byte in the sheet", entry({goodName, goodPalette, record(3, {'Q', 0, '{'})}),
         Status::BadSheet},
        {"sheet not UTF-8", entry({goodName, goodPalette, record(3, {'Q', 0xC0, 0x80})}),
         Status::BadSheet},
    };

    ASSERT_EQ(applyEntry(5), 0);
    const QPalette worn = QApplication::palette();
    const QString wornSheet = qApp->styleSheet();
    for (const Malformed& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(apply(c.bytes), int32_t(c.expected));
        EXPECT_TRUE(samePalette(QApplication::palette(), worn));
        EXPECT_EQ(qApp->styleSheet(), wornSheet);
    }
    // The raw builder itself makes an entry the engine takes.
    EXPECT_EQ(apply(entry({goodName, goodPalette, goodSheet})), 0);

    const Bytes some = entry({goodName, goodPalette, goodSheet});
    EXPECT_EQ(attach(nullptr, 12, "", 0, 0, 0), int32_t(Status::NullBytes));
    EXPECT_EQ(attach(some.data(), -1, "", 0, 0, 0), int32_t(Status::NullBytes));
}

TEST_F(SkinEngine, RefusesEveryTruncationOfARealSkin) {
    const auto e = skins::skinCatalogue(2);
    for (size_t len = 1; len < e.size(); ++len) {
        const int32_t r = apply(Bytes(e.begin(), e.begin() + len));
        if (r == 0) ADD_FAILURE() << "took the first " << len << " bytes";
    }
}

TEST_F(SkinEngine, EmptySkinRestoresTheDefaultLook) {
    ASSERT_EQ(applyEntry(3), 0);
    ASSERT_EQ(applyEntry(17), 0);
    ASSERT_FALSE(samePalette(QApplication::palette(), defaultPalette));
    EXPECT_EQ(applyEmpty(), 0);
    EXPECT_TRUE(samePalette(QApplication::palette(), defaultPalette));
    EXPECT_TRUE(qApp->styleSheet().isEmpty());
    // A window opened now has the default look too.
    QWidget w;
    EXPECT_TRUE(samePalette(w.palette(), defaultPalette));
    // The text argument does not stand for a skin: null text, empty skin, same result.
    EXPECT_EQ(attach(nullptr, 0, nullptr, 0, 0, 0), 0);
    EXPECT_TRUE(samePalette(QApplication::palette(), defaultPalette));
}

TEST_F(SkinEngine, PaletteTextReadsAtFourAndAHalfToOne) {
    struct Pair {
        QPalette::ColorRole text, background;
    };
    const Pair pairs[] = {{QPalette::WindowText, QPalette::Window},
                          {QPalette::ButtonText, QPalette::Button},
                          {QPalette::Text, QPalette::Base},
                          {QPalette::Text, QPalette::AlternateBase},
                          {QPalette::HighlightedText, QPalette::Highlight},
                          {QPalette::ToolTipText, QPalette::ToolTipBase},
                          {QPalette::PlaceholderText, QPalette::Base}};
    for (int n = 1; n <= skins::skinCount; ++n) {
        SCOPED_TRACE(n);
        skins::tsk::Skin skin;
        ASSERT_EQ(skins::tsk::parse(skins::skinCatalogue(n), skin), Status::Ok);
        std::map<int, skins::tss::Rgb> colour;
        for (const auto& e : skin.palette) {
            if (e.group == skins::tsk::Group::All) colour[e.role] = {e.red, e.green, e.blue};
        }
        for (const Pair& p : pairs) {
            ASSERT_TRUE(colour.count(p.text) && colour.count(p.background));
            EXPECT_GE(skins::tss::contrast(colour[p.text], colour[p.background]), 4.5)
                << "roles " << p.text << " on " << p.background;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    void* library = dlopen(TUNAROSKIN_FILE, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        fprintf(stderr, "cannot load %s: %s\n", TUNAROSKIN_FILE, dlerror());
        return 1;
    }
    attach = reinterpret_cast<TunaroSkinAttachRes>(dlsym(library, "TunaroSkin_AttachRes"));
    if (!attach) return 1;
    answerWithoutApplication = attach(nullptr, 0, "", 0, 0, 0);
    QApplication application(argc, argv);
    defaultPalette = QApplication::palette();
    return RUN_ALL_TESTS();
}

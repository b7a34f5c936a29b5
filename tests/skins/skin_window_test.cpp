// The skins on the real window: the Qt run time, the program's start-up and routines, the
// engine written beside this executable and loaded from there.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/main_window.h"
#include "runtime/qt/qt_runtime.h"
#include "skins/engine/tsk_format.h"
#include "skins/skins.h"

namespace {

rt::qt::QtRuntime* qt = nullptr;
bool engineWasAbsent = false;  // before this run's start-up

QColor paletteColour(int n, QPalette::ColorRole role) {
    skins::tsk::Skin skin;
    if (skins::tsk::parse(skins::skinCatalogue(n), skin) != skins::tsk::Status::Ok) return {};
    for (const auto& e : skin.palette) {
        if (e.group == skins::tsk::Group::All && e.role == role)
            return QColor(e.red, e.green, e.blue);
    }
    return {};
}

std::string sheetOf(int n) {
    skins::tsk::Skin skin;
    skins::tsk::parse(skins::skinCatalogue(n), skin);
    return std::string(skin.sheet);
}

TEST(SkinsOnTheWindow, FirstStartWritesTheEngineBesideTheProgramAndWearsSkinTwo) {
    ASSERT_TRUE(engineWasAbsent) << "the engine file was left by an earlier run";
    const std::string path = skins::enginePath();
    EXPECT_EQ(path, app::executableDirectory() + "/libtunaroskin.so");
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    const auto image = skins::skinEngineImage();
    EXPECT_EQ(bytes, std::vector<uint8_t>(image.begin(), image.end()));
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    EXPECT_EQ(qApp->styleSheet().toStdString(), sheetOf(2));
}

TEST(SkinsOnTheWindow, EverySkinKeepsEveryControlInPlaceWithRoomForItsCaption) {
    const rt::WindowDesign& design = app::mainWindowDesign();
    const QSize windowSize = qt->windowWidget()->size();
    for (int n = 0; n <= skins::skinCount; ++n) {  // 0: the empty skin
        SCOPED_TRACE(n);
        skins::applySkin(n);
        QApplication::processEvents();
        EXPECT_EQ(qt->windowWidget()->size(), windowSize);
        for (const rt::ControlDesign& c : design.controls) {
            QWidget* w = qt->controlWidget(c.name);
            if (!c.shown) continue;
            ASSERT_NE(w, nullptr) << c.name;
            EXPECT_EQ(w->geometry(), QRect(c.left, c.top, c.width, c.height)) << c.name;
            auto* b = qobject_cast<QPushButton*>(w);
            if (!b) continue;
            QStyleOptionButton opt;
            opt.initFrom(b);
            opt.text = b->text();
            const QRect room = b->style()->subElementRect(QStyle::SE_PushButtonContents, &opt, b);
            const QFontMetrics fm(b->font());
            EXPECT_GE(room.width(), fm.horizontalAdvance(b->text())) << c.name;
            EXPECT_GE(room.height(), fm.height()) << c.name;
        }
    }
    skins::applySkin(2);
}

TEST(SkinsOnTheWindow, DialogsWearTheSkinToo) {
    for (int n : {2, 3, 21}) {
        SCOPED_TRACE(n);
        skins::applySkin(n);
        const QColor window = paletteColour(n, QPalette::Window);
        const QColor text = paletteColour(n, QPalette::WindowText);
        const QColor base = paletteColour(n, QPalette::Base);

        QMessageBox box(QMessageBox::Critical, "错误", "运行时出错!", QMessageBox::Ok);
        box.show();
        QApplication::processEvents();
        EXPECT_EQ(box.palette().color(QPalette::Window), window);
        for (QLabel* label : box.findChildren<QLabel*>())
            EXPECT_EQ(label->palette().color(QPalette::WindowText), text);

        QProgressDialog progress("正在读取歌曲长度…", "取消", 0, 10);
        progress.show();
        QApplication::processEvents();
        EXPECT_EQ(progress.palette().color(QPalette::Window), window);

        QFileDialog files(nullptr, "导入歌曲");
        files.setOption(QFileDialog::DontUseNativeDialog);
        files.show();
        QApplication::processEvents();
        EXPECT_EQ(files.palette().color(QPalette::Window), window);
        const auto edits = files.findChildren<QLineEdit*>();
        ASSERT_FALSE(edits.empty());
        EXPECT_EQ(edits.front()->palette().color(QPalette::Base), base);
    }
    skins::applySkin(2);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    rt::qt::QtRuntime runtime;
    qt = &runtime;
    rt::install(&runtime);
    // A first start: no engine beside the executable yet.
    const std::filesystem::path engine =
        std::filesystem::path(runtime.executablePath()).parent_path() / "libtunaroskin.so";
    std::error_code ec;
    std::filesystem::remove(engine, ec);
    engineWasAbsent = !std::filesystem::exists(engine);
    app::startUp();
    const int status = RUN_ALL_TESTS();
    app::endNormally();
    return status;
}

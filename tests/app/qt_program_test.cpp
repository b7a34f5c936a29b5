// The whole program over the Qt run time, each run in a child process: the three ways of
// closing end with status 0, the run-time error report with 255 after its box.
// QT_QPA_PLATFORM=offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>

#include "app/app.h"
#include "runtime/qt/qt_runtime.h"

namespace {

using Act = std::function<void(rt::qt::QtRuntime&)>;

// Starts the program; act runs from its event loop once the window is up. A child that is
// still running after 20 s ends with status 3.
// The run time goes before the process ends, as it does when main returns.
[[noreturn]] void runProgram(const Act& act) {
    int status = 0;
    {
        rt::qt::QtRuntime qt;
        rt::install(&qt);
        QTimer::singleShot(300, [&] { act(qt); });
        QTimer::singleShot(20000, [] { std::_Exit(3); });
        status = app::programMain();
        rt::install(nullptr);
    }
    std::exit(status);
}

TEST(QtProgram, ExitButtonEndsWithZero) {
    EXPECT_EXIT(runProgram([](rt::qt::QtRuntime& qt) {
                    QTest::mouseClick(qt.controlWidget("按钮_退出"), Qt::LeftButton);
                }),
                ::testing::ExitedWithCode(0), "");
}

TEST(QtProgram, CloseBoxEndsWithZero) {
    EXPECT_EXIT(runProgram([](rt::qt::QtRuntime& qt) { qt.windowWidget()->close(); }),
                ::testing::ExitedWithCode(0), "");
}

TEST(QtProgram, EscapeFromTheListEndsWithZero) {
    EXPECT_EXIT(runProgram([](rt::qt::QtRuntime& qt) {
                    QWidget* list = qt.controlWidget("超级列表框1");
                    list->setFocus();
                    QTest::keyClick(list, Qt::Key_Escape);
                }),
                ::testing::ExitedWithCode(0), "");
}

// The box is read and dismissed from a timer, as a user would; its text goes to stderr
// with its line breaks shown as '|', so that the parent can match it.
TEST(QtProgram, RuntimeErrorShowsItsBoxAndEndsWith255) {
    EXPECT_EXIT(runProgram([](rt::qt::QtRuntime&) {
                    auto* poll = new QTimer(qApp);
                    QObject::connect(poll, &QTimer::timeout, [] {
                        for (QWidget* w : QApplication::topLevelWidgets()) {
                            auto* box = qobject_cast<QMessageBox*>(w);
                            if (!box || !box->isVisible()) continue;
                            QString text = box->text();
                            text.replace('\n', '|');
                            std::fprintf(stderr, "BOX[%s][%s][%d]\n",
                                         box->windowTitle().toUtf8().constData(),
                                         text.toUtf8().constData(), int(box->icon()));
                            box->button(QMessageBox::Ok)->click();
                        }
                    });
                    poll->start(50);
                    app::reportRuntimeError(6, "调用DLL命令后发现堆栈错误");
                }),
                ::testing::ExitedWithCode(255),
                "BOX\\[错误\\]\\[运行时出错!\\|\\|错误代码：6\\|\\|"
                "错误信息：调用DLL命令后发现堆栈错误\\|\\]"
                "\\[3\\]");
}

// 1.2 s of a 440 Hz tone, 16-bit mono at 22050 Hz.
void writeTone(const std::string& path) {
    const uint32_t rate = 22050, frames = rate * 12 / 10, dataBytes = frames * 2;
    std::ofstream out(path, std::ios::binary);
    auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    out.write("RIFF", 4);
    u32(36 + dataBytes);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(1);
    u32(rate);
    u32(rate * 2);
    u16(2);
    u16(16);
    out.write("data", 4);
    u32(dataBytes);
    for (uint32_t i = 0; i < frames; ++i)
        u16(static_cast<uint16_t>(int16_t(8000 * std::sin(2 * M_PI * 440 * i / rate))));
}

[[noreturn]] void checkFailed(const char* what) {
    std::fprintf(stderr, "CHECK FAILED: %s\n", what);
    std::_Exit(4);
}
#define CHECK(cond) \
    if (!(cond)) checkFailed(#cond)

// A song goes through the real dialog, the audio engine's measurement and its player.
TEST(QtProgram, ImportAndPlayASong) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string song = folder.filePath("tone.wav").toStdString();
    writeTone(song);
    EXPECT_EXIT(
        runProgram([song](rt::qt::QtRuntime& qt) {
            auto* poll = new QTimer(qApp);
            QObject::connect(poll, &QTimer::timeout, [song] {
                auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                if (!d) return;
                d->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(song));
                static_cast<QDialog*>(d)->accept();
            });
            poll->start(50);
            QTest::mouseClick(qt.controlWidget("按钮_导入MP3"), Qt::LeftButton);
            poll->stop();
            auto* table = static_cast<QTableWidget*>(qt.controlWidget("超级列表框1"));
            CHECK(table->rowCount() == 1);
            CHECK(table->item(0, 0)->text() == "1");
            CHECK(table->item(0, 1)->text() == "tone.wav");
            CHECK(table->item(0, 3)->text() == "0:0:1");
            rt::Window& w = qt.mainWindow();
            QTest::mouseClick(qt.controlWidget("按钮_播放"), Qt::LeftButton);
            CHECK(w.button("按钮_播放").caption() == "||");
            CHECK(w.timer("时钟1").period() == 500);
            CHECK(w.mediaPlay("媒体播放1").getState() == rt::MediaState::Playing);
            CHECK(
                QTest::qWaitFor([&] { return w.label("标签2").caption() != "00:00/00:00"; }, 3000));
            QTest::mouseClick(qt.controlWidget("按钮_退出"), Qt::LeftButton);
        }),
        ::testing::ExitedWithCode(0), "");
}

}  // namespace

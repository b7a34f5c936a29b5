// The whole program over the Qt run time, each run in a child process: the three ways of
// closing end with status 0, the run-time error report with 255 after its box.
// QT_QPA_PLATFORM=offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "app/app.h"
#include "runtime/qt/qt_runtime.h"

namespace {

using Act = std::function<void(rt::qt::QtRuntime&)>;

// Starts the program; act runs from its event loop once the window is up. A child that is
// still running after 20 s ends with status 3.
[[noreturn]] void runProgram(const Act& act) {
    rt::qt::QtRuntime qt;
    rt::install(&qt);
    QTimer::singleShot(300, [&] { act(qt); });
    QTimer::singleShot(20000, [] { std::_Exit(3); });
    std::exit(app::programMain());
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
                    auto* poll = new QTimer;
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

}  // namespace

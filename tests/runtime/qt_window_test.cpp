// What only the Qt backend can get wrong: geometry and window flags, Esc, slider events,
// the list's mouse and header, the focus order. QT_QPA_PLATFORM=offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTableWidget>
#include <QTest>
#include <QWindow>

#include "runtime/qt/qt_runtime.h"
#include "tests/runtime/test_window.h"

namespace runtime_test {
namespace {

class QtWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetSeen();
        rt::install(&qt);
        ASSERT_TRUE(qt.createMainWindow(testDesign(), testEvents()));
        window = qt.windowWidget();
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window, 2000));
    }
    void TearDown() override { rt::install(nullptr); }

    template <typename W>
    W* control(const char* name) {
        return static_cast<W*>(qt.controlWidget(name));
    }
    QTableWidget* table() { return control<QTableWidget>(listName); }
    QSlider* slider() { return control<QSlider>(sliderName); }
    bool destroyedSoon() {
        return QTest::qWaitFor([&] { return !qt.mainWindow().exists(); }, 2000);
    }

    rt::qt::QtRuntime qt;
    QWidget* window = nullptr;
};

TEST_F(QtWindowTest, OuterSizeAndPlaceIncludeTheFrame) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QMargins frame = window->windowHandle()->frameMargins();
    // offscreen invents a frame of its own (2 px each side); without a window manager
    // there is none. Either way the outer size is the design's.
    if (QGuiApplication::platformName() == "offscreen") {
        EXPECT_EQ(frame, QMargins(2, 2, 2, 2));
    }
    EXPECT_EQ(window->frameGeometry().size(), QSize(322, 501));
    EXPECT_EQ(window->size(),
              QSize(322 - frame.left() - frame.right(), 501 - frame.top() - frame.bottom()));
    EXPECT_EQ(window->frameGeometry().topLeft(), QPoint(screen.x() + (screen.width() - 322) / 2,
                                                        screen.y() + (screen.height() - 501) / 2));
}

TEST_F(QtWindowTest, FixedSizeWithMinimizeAndCloseButNoMaximize) {
    EXPECT_EQ(window->windowTitle(), "Tunaro");
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    const Qt::WindowFlags f = window->windowFlags();
    EXPECT_TRUE(f & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(f & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(f & Qt::WindowTitleHint);
    EXPECT_FALSE(f & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(f & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(window->windowType(), Qt::Window) << "a tool window has no taskbar entry";
    EXPECT_TRUE(window->isVisible());
}

TEST_F(QtWindowTest, ControlsSitAtTheirPlacesWithTheirSettings) {
    for (const rt::ControlDesign& d : testDesign().controls) {
        QWidget* w = qt.controlWidget(d.name);
        if (!d.shown) {
            EXPECT_EQ(w, nullptr) << d.name;
            continue;
        }
        ASSERT_NE(w, nullptr) << d.name;
        EXPECT_EQ(w->geometry(), QRect(d.left, d.top, d.width, d.height)) << d.name;
        EXPECT_EQ(w->focusPolicy() != Qt::NoFocus, d.takesFocus) << d.name;
        EXPECT_FALSE(w->accessibleName().isEmpty() && !d.text) << d.name << " has no name";
    }
    auto* label = control<QLabel>(labelName);
    EXPECT_EQ(label->alignment(), Qt::AlignRight | Qt::AlignVCenter);
    EXPECT_FALSE(label->wordWrap());
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    auto* button = control<QPushButton>(buttonName);
    EXPECT_FALSE(button->autoDefault());
    EXPECT_FALSE(button->isDefault());
    EXPECT_EQ(slider()->minimum(), 0);
    EXPECT_EQ(slider()->maximum(), 100);
    EXPECT_EQ(slider()->value(), 50);
    EXPECT_EQ(slider()->singleStep(), 1);
    EXPECT_EQ(slider()->pageStep(), 5);
    EXPECT_EQ(slider()->accessibleName(), "音量");
    EXPECT_EQ(table()->accessibleName(), "播放列表");
}

TEST_F(QtWindowTest, ListHasTheReportSettings) {
    QTableWidget* t = table();
    const char* titles[] = {"序号", "歌曲名", "路径", "时长"};
    const int widths[] = {50, 150, 0, 85};
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(t->horizontalHeaderItem(c)->text(), QString::fromUtf8(titles[c]));
        EXPECT_EQ(t->columnWidth(c), widths[c]) << c;
        EXPECT_FALSE(t->isColumnHidden(c)) << c;
    }
    EXPECT_TRUE(t->showGrid());
    EXPECT_FALSE(t->isSortingEnabled());
    EXPECT_EQ(t->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(t->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(t->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_FALSE(t->verticalHeader()->isVisible());
    EXPECT_FALSE(t->horizontalHeader()->sectionsMovable());
    const QPalette p = t->palette();
    EXPECT_EQ(p.color(QPalette::Inactive, QPalette::Highlight),
              p.color(QPalette::Active, QPalette::Highlight));
}

TEST_F(QtWindowTest, HeaderClickDoesNothing) {
    rt::ListView& list = qt.mainWindow().listView(listName);
    list.appendRow();
    list.appendRow();
    list.setSelectedRow(1);
    QHeaderView* header = table()->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(0) + 10, header->height() / 2));
    EXPECT_EQ(list.selectedRow(), 1);
    EXPECT_EQ(table()->selectionModel()->selectedIndexes().size(), 4) << "one whole row";
    EXPECT_EQ(seen.listClicks, 0);
}

TEST_F(QtWindowTest, ClickBelowTheLastRowAndRightOfTheColumns) {
    rt::ListView& list = qt.mainWindow().listView(listName);
    for (int i = 0; i < 3; ++i) list.appendRow();
    QWidget* vp = table()->viewport();
    // Right of the last column, but on row 2: still that row.
    const int y = table()->rowViewportPosition(2) + 3;
    QTest::mouseClick(vp, Qt::LeftButton, {}, QPoint(vp->width() - 3, y));
    EXPECT_EQ(list.selectedRow(), 2);
    QTest::mouseClick(vp, Qt::LeftButton, {}, QPoint(30, vp->height() - 3));
    EXPECT_EQ(list.selectedRow(), -1);
    EXPECT_FALSE(table()->currentIndex().isValid()) << "focus mark cleared too";
    EXPECT_EQ(seen.listClicks, 2);
    // A right click selects as the view does, but raises nothing.
    QTest::mouseClick(vp, Qt::RightButton, {}, QPoint(30, table()->rowViewportPosition(0) + 3));
    EXPECT_EQ(seen.listClicks, 2);
}

TEST_F(QtWindowTest, SelectionWriteDoesNotScroll) {
    rt::ListView& list = qt.mainWindow().listView(listName);
    for (int i = 0; i < 60; ++i) list.appendRow();
    const int before = table()->verticalScrollBar()->value();
    list.setSelectedRow(55);
    EXPECT_EQ(list.selectedRow(), 55);
    EXPECT_EQ(table()->currentRow(), 55);
    EXPECT_EQ(table()->verticalScrollBar()->value(), before);
}

TEST_F(QtWindowTest, EscapeClosesFromTheListAndFromTheSlider) {
    for (const char* name : {listName, sliderName}) {
        if (!qt.mainWindow().exists()) {
            ASSERT_TRUE(qt.createMainWindow(testDesign(), testEvents()));
            ASSERT_TRUE(QTest::qWaitForWindowExposed(qt.windowWidget(), 2000));
        }
        QWidget* w = qt.controlWidget(name);
        w->setFocus();
        QTest::keyClick(w, Qt::Key_Escape);
        EXPECT_TRUE(destroyedSoon()) << name;
    }
}

TEST_F(QtWindowTest, EnterAndF1DoNothing) {
    auto* button = control<QPushButton>(buttonName);
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Return);
    QTest::keyClick(button, Qt::Key_F1);
    QTest::qWait(50);
    EXPECT_EQ(QApplication::focusWidget(), button);
    EXPECT_EQ(seen.clicks, 0) << "no default button";
    EXPECT_TRUE(qt.mainWindow().exists());
    QTest::keyClick(button, Qt::Key_Space);
    EXPECT_EQ(seen.clicks, 1);
}

TEST_F(QtWindowTest, TabVisitsTheFocusableControlsInCreationOrder) {
    slider()->setFocus();
    std::vector<QString> visited;
    for (int i = 0; i < 4; ++i) {
        visited.push_back(QApplication::focusWidget()->objectName());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    const std::vector<QString> expected = {
        QString::fromUtf8(sliderName), QString::fromUtf8(listName),
        QString::fromUtf8(lastButtonName), QString::fromUtf8(buttonName)};
    EXPECT_EQ(visited, expected);
}

// The slider raises its event for the user's moves only, with the position at each.
TEST_F(QtWindowTest, SliderKeysRaiseOneEventEach) {
    slider()->setFocus();
    struct Case {
        Qt::Key key;
        int32_t position;
    };
    const Case cases[] = {{Qt::Key_Right, 51},    {Qt::Key_Left, 50}, {Qt::Key_PageUp, 55},
                          {Qt::Key_PageDown, 50}, {Qt::Key_End, 100}, {Qt::Key_Home, 0},
                          {Qt::Key_Home, 0}};
    for (const Case& c : cases) {
        const size_t before = seen.slides.size();
        QTest::keyClick(slider(), c.key);
        ASSERT_EQ(seen.slides.size(), before + 1) << c.key;
        EXPECT_EQ(seen.slides.back(), c.position) << c.key;
    }
}

TEST_F(QtWindowTest, SliderProgramWritesRaiseNothing) {
    slider()->setValue(70);
    slider()->setValue(20);
    EXPECT_TRUE(seen.slides.empty());
}

QRect handleRect(QSlider* s) {
    QStyleOptionSlider opt;
    opt.initFrom(s);
    opt.orientation = s->orientation();
    opt.minimum = s->minimum();
    opt.maximum = s->maximum();
    opt.sliderPosition = s->sliderPosition();
    opt.sliderValue = s->value();
    opt.singleStep = s->singleStep();
    opt.pageStep = s->pageStep();
    opt.subControls = QStyle::SC_All;
    return s->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, s);
}

TEST_F(QtWindowTest, SliderDragRaisesEveryStepAndTheRelease) {
    const QPoint grab = handleRect(slider()).center();
    QTest::mousePress(slider(), Qt::LeftButton, {}, grab);
    for (int dx : {6, 12, 18}) QTest::mouseMove(slider(), grab + QPoint(dx, 0));
    QTest::mouseRelease(slider(), Qt::LeftButton, {}, grab + QPoint(18, 0));
    ASSERT_EQ(seen.slides.size(), 4u) << "three steps and the release";
    EXPECT_LT(seen.slides[0], seen.slides[1]);
    EXPECT_LT(seen.slides[1], seen.slides[2]);
    EXPECT_EQ(seen.slides[3], seen.slides[2]);
    EXPECT_EQ(qt.mainWindow().slider(sliderName).position(), seen.slides[3]);
}

TEST_F(QtWindowTest, SliderChannelClickMovesByFive) {
    const QRect handle = handleRect(slider());
    QTest::mouseClick(slider(), Qt::LeftButton, {},
                      QPoint(handle.left() - 10, handle.center().y()));
    ASSERT_EQ(seen.slides.size(), 1u);
    EXPECT_EQ(seen.slides[0], 45);
}

TEST_F(QtWindowTest, CloseRequestDestroysAtOnce) {
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(destroyedSoon());
    EXPECT_EQ(qt.windowWidget(), nullptr);
}

}  // namespace
}  // namespace runtime_test

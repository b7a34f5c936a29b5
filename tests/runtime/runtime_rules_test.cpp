// The rules that belong to the run time, on both backends: the sim with its virtual clock
// and Qt with real timers and real widget events (QT_QPA_PLATFORM=offscreen).
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QHeaderView>
#include <QTableWidget>
#include <QTest>
#include <functional>
#include <memory>

#include "runtime/qt/qt_runtime.h"
#include "runtime/sim/sim.h"
#include "tests/runtime/test_window.h"

namespace runtime_test {
namespace {

// One backend with the test window created: time, and the user's hand on the list.
class Backend {
public:
    virtual ~Backend() = default;
    virtual rt::Platform& platform() = 0;
    virtual int64_t now() = 0;  // ms, virtual or real
    virtual void wait(int ms) = 0;
    // Lets time pass until done() or limitMs; false on the limit.
    virtual bool waitFor(const std::function<bool()>& done, int limitMs) = 0;
    virtual void clickRow(int row) = 0;  // -1: below the last row
    virtual void doubleClickBelowLastRow() = 0;
    virtual void keyboardDown() = 0;  // one row down with the arrow key
    virtual void pressEscape() = 0;
    virtual void clickButton(const char* name) = 0;

    rt::Window& window() { return platform().mainWindow(); }
    rt::ListView& list() { return window().listView(listName); }
    rt::Timer& timer() { return window().timer(timerName); }
};

class SimBackend : public Backend {
public:
    SimBackend() : sim_(rt::sim::Convention::Utf8Slash) {
        rt::install(&sim_);
        sim_.createMainWindow(testDesign(), testEvents());
    }
    ~SimBackend() override { rt::install(nullptr); }
    rt::Platform& platform() override { return sim_; }
    int64_t now() override { return sim_.now(); }
    void wait(int ms) override { sim_.advance(ms); }
    bool waitFor(const std::function<bool()>& done, int limitMs) override {
        for (int i = 0; i < limitMs && !done(); ++i) sim_.advance(1);
        return done();
    }
    void clickRow(int row) override {
        if (row < 0)
            sim_.clickBelowLastRow();
        else
            sim_.clickRow(row);
    }
    void doubleClickBelowLastRow() override { sim_.doubleClickBelowLastRow(); }
    void keyboardDown() override {
        sim_.keyboardSelectRow(std::min(list().selectedRow() + 1, list().rowCount() - 1));
    }
    void pressEscape() override { sim_.pressKey(rt::sim::Key::Escape); }
    void clickButton(const char* name) override { sim_.click(name); }

private:
    rt::sim::SimRuntime sim_;
};

class QtBackend : public Backend {
public:
    QtBackend() {
        rt::install(&qt_);
        qt_.createMainWindow(testDesign(), testEvents());
        clock_.start();
    }
    ~QtBackend() override { rt::install(nullptr); }
    rt::Platform& platform() override { return qt_; }
    int64_t now() override { return clock_.elapsed(); }
    void wait(int ms) override { QTest::qWait(ms); }
    bool waitFor(const std::function<bool()>& done, int limitMs) override {
        return QTest::qWaitFor(done, limitMs);
    }
    void clickRow(int row) override {
        QTest::mouseClick(viewport(), Qt::LeftButton, {}, pointOf(row));
    }
    void doubleClickBelowLastRow() override {
        // A mouse sends a whole click before the double-click.
        QTest::mouseClick(viewport(), Qt::LeftButton, {}, pointOf(-1));
        QTest::mouseDClick(viewport(), Qt::LeftButton, {}, pointOf(-1));
    }
    void keyboardDown() override {
        table()->setFocus();
        QTest::keyClick(table(), Qt::Key_Down);
    }
    void pressEscape() override { QTest::keyClick(table(), Qt::Key_Escape); }
    void clickButton(const char* name) override {
        QTest::mouseClick(qt_.controlWidget(name), Qt::LeftButton);
    }

private:
    QTableWidget* table() { return static_cast<QTableWidget*>(qt_.controlWidget(listName)); }
    QWidget* viewport() { return table()->viewport(); }
    // Inside the row, right of the last column's start; or well below the last row.
    QPoint pointOf(int row) {
        if (row < 0) return QPoint(20, viewport()->height() - 5);
        return QPoint(20, table()->rowViewportPosition(row) + table()->rowHeight(row) / 2);
    }

    rt::qt::QtRuntime qt_;
    QElapsedTimer clock_;
};

enum class Kind { Sim, Qt };

class RuntimeRules : public ::testing::TestWithParam<Kind> {
protected:
    void SetUp() override {
        resetSeen();
        if (GetParam() == Kind::Sim)
            b = std::make_unique<SimBackend>();
        else
            b = std::make_unique<QtBackend>();
    }
    std::unique_ptr<Backend> b;
    bool real() const { return GetParam() == Kind::Qt; }

    void addRows(int n) {
        for (int i = 0; i < n; ++i) {
            const int row = b->list().appendRow();
            b->list().setCellText(row, 0, std::to_string(row + 1));
        }
    }
};

TEST_P(RuntimeRules, CreatedEventRanOnce) {
    EXPECT_EQ(seen.created, 1);
}

// Writing the same period keeps the rhythm: the first event comes 400 ms after the first
// write, not 400 ms after the second.
TEST_P(RuntimeRules, SamePeriodKeepsTheRhythm) {
    const int64_t start = b->now();
    b->timer().setPeriod(400);
    b->wait(250);
    const int64_t rewrite = b->now();
    b->timer().setPeriod(400);
    ASSERT_TRUE(b->waitFor([] { return seen.ticks >= 1; }, 2000));
    const int64_t tickAt = b->now();
    EXPECT_EQ(b->timer().period(), 400);
    EXPECT_GE(tickAt - start, 395);
    // A restart could not fire before rewrite + 400.
    EXPECT_LT(tickAt, rewrite + 400 - 60);
    if (!real()) {
        EXPECT_EQ(tickAt - start, 400);
    }
}

// 0 stops; a new period then starts afresh from its write.
TEST_P(RuntimeRules, ZeroThenPeriodRestarts) {
    b->timer().setPeriod(400);
    b->wait(250);
    b->timer().setPeriod(0);
    b->timer().setPeriod(400);
    const int64_t rewrite = b->now();
    ASSERT_TRUE(b->waitFor([] { return seen.ticks >= 1; }, 2000));
    const int64_t tickAt = b->now();
    EXPECT_GE(tickAt - rewrite, 395);
    if (!real()) {
        EXPECT_EQ(tickAt - rewrite, 400);
    }
}

TEST_P(RuntimeRules, NegativePeriodCountsAsZero) {
    b->timer().setPeriod(100);
    b->timer().setPeriod(-5);
    EXPECT_EQ(b->timer().period(), 0);
    b->wait(300);
    EXPECT_EQ(seen.ticks, 0);
}

TEST_P(RuntimeRules, SelectedRowWrites) {
    addRows(3);
    struct Case {
        int32_t write;
        int32_t expected;
    };
    // Starting from row 1 selected each time.
    const Case cases[] = {{2, 2}, {0, 0}, {-1, -1}, {-7, -1}, {3, 1}, {100, 1}};
    for (const Case& c : cases) {
        b->list().setSelectedRow(1);
        b->list().setSelectedRow(c.write);
        EXPECT_EQ(b->list().selectedRow(), c.expected) << "write " << c.write;
    }
    b->list().setSelectedRow(-1);
    b->list().setSelectedRow(-1);
    EXPECT_EQ(b->list().selectedRow(), -1);
    EXPECT_EQ(seen.listClicks, 0) << "a write raised the click event";
}

TEST_P(RuntimeRules, AppendKeepsTheSelection) {
    addRows(3);
    b->list().setSelectedRow(1);
    EXPECT_EQ(b->list().appendRow(), 3);
    EXPECT_EQ(b->list().selectedRow(), 1);
    EXPECT_EQ(b->list().rowCount(), 4);
}

TEST_P(RuntimeRules, CellsOfMissingRowsAndColumnsAreEmpty) {
    EXPECT_EQ(b->list().cellText(0, 2), "");
    addRows(2);
    b->list().setCellText(1, 2, "/音乐/歌.mp3");
    b->list().setCellText(2, 2, "ignored");
    b->list().setCellText(1, 4, "ignored");
    EXPECT_EQ(b->list().cellText(1, 2), "/音乐/歌.mp3");
    EXPECT_EQ(b->list().cellText(0, 3), "") << "a cell never set";
    for (int row : {-2, -1, 2, 3}) EXPECT_EQ(b->list().cellText(row, 0), "") << row;
    EXPECT_EQ(b->list().cellText(1, -1), "");
    EXPECT_EQ(b->list().cellText(1, 4), "");
}

// The user's hand: a click selects and raises the event, the keyboard moves without it, a
// click below the last row clears the selection and still raises it.
TEST_P(RuntimeRules, ListClicksAndKeys) {
    addRows(3);
    b->clickRow(1);
    EXPECT_EQ(b->list().selectedRow(), 1);
    EXPECT_EQ(seen.listClicks, 1);
    b->keyboardDown();
    EXPECT_EQ(b->list().selectedRow(), 2);
    EXPECT_EQ(seen.listClicks, 1);
    b->clickRow(-1);
    EXPECT_EQ(b->list().selectedRow(), -1);
    EXPECT_EQ(seen.listClicks, 2);
    b->doubleClickBelowLastRow();
    EXPECT_EQ(seen.doubleClicks, 1);
    EXPECT_EQ(seen.listClicks, 3) << "the first click of a double-click is a click";
}

TEST_P(RuntimeRules, EscapeDestroysTheWindow) {
    ASSERT_TRUE(b->window().exists());
    b->pressEscape();
    EXPECT_TRUE(b->waitFor([&] { return !b->window().exists(); }, 2000));
}

TEST_P(RuntimeRules, RequestDestroyIsCarriedOutAfterTheHandler) {
    b->clickButton(lastButtonName);
    EXPECT_EQ(seen.existedAfterRequest, 1) << "destroyed before the handler returned";
    EXPECT_TRUE(b->waitFor([&] { return !b->window().exists(); }, 2000));
}

INSTANTIATE_TEST_SUITE_P(Backends, RuntimeRules, ::testing::Values(Kind::Sim, Kind::Qt),
                         [](const auto& info) {
                             return std::string(info.param == Kind::Sim ? "Sim" : "Qt");
                         });

}  // namespace
}  // namespace runtime_test

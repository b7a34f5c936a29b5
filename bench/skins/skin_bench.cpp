// The cost of skins on the Qt run time, beside a bare Qt window mapped in the same run.
//   first: the first skin of a run, at start-up: the engine written beside the executable,
//          loaded, bound, skin 2 applied (the window's created event, timed inside it)
//   apply: one later skin application (the presence test, the copy, the engine's restyle
//          of the whole application and the repaint that follows)
//   baseline: a bare top-level Qt window shown and processed until it is exposed
// Offscreen by default; QT_QPA_PLATFORM=xcb xvfb-run -a skin_bench maps real windows.
#include <QApplication>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "app/app.h"
#include "runtime/forwarding_platform.h"
#include "runtime/qt/qt_runtime.h"
#include "skins/skins.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The Qt run time with the window's created event timed: everything else passes through.
class TimedCreation : public rt::ForwardingPlatform {
public:
    explicit TimedCreation(rt::qt::QtRuntime& qt) : ForwardingPlatform(qt), qt_(qt) {}

    static inline rt::Handler created = nullptr;
    static inline double createdMs = -1;
    static inline double writeMs = 0, loadMs = 0;  // parts of the first skin
    static void timedCreated() {
        const auto t = Clock::now();
        created();
        QApplication::processEvents();  // the repaint the new look asks for
        createdMs = msSince(t);
    }

    bool createMainWindow(const rt::WindowDesign& design,
                          std::span<const rt::EventBinding> events) override {
        std::vector<rt::EventBinding> timed(events.begin(), events.end());
        for (rt::EventBinding& e : timed) {
            if (!e.control && e.event == rt::Event::Created) {
                created = e.handler;
                e.handler = timedCreated;
            }
        }
        return qt_.createMainWindow(design, timed);
    }

    bool writeWholeFile(const rt::Text& p, std::span<const uint8_t> b) override {
        const auto t = Clock::now();
        const bool ok = qt_.writeWholeFile(p, b);
        writeMs += msSince(t);
        return ok;
    }
    uintptr_t loadLibrary(const rt::Text& p) override {
        const auto t = Clock::now();
        const uintptr_t library = qt_.loadLibrary(p);
        loadMs += msSince(t);
        return library;
    }

private:
    rt::qt::QtRuntime& qt_;
};

double mapBareWindow() {
    const auto t = Clock::now();
    QWidget w;
    w.resize(316, 472);
    w.show();
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (!(w.windowHandle() && w.windowHandle()->isExposed()) && Clock::now() < deadline)
        QApplication::processEvents();
    QApplication::processEvents();
    return msSince(t);
}

}  // namespace

int main() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    rt::qt::QtRuntime qt;
    TimedCreation platform(qt);
    rt::install(&platform);

    // A first start: no engine beside the executable, nothing bound in this process.
    const std::filesystem::path engine =
        std::filesystem::path(qt.executablePath()).parent_path() / "libtunaroskin.so";
    std::error_code ec;
    std::filesystem::remove(engine, ec);
    app::startUp();
    const double first = TimedCreation::createdMs;
    if (first < 0 || !std::filesystem::exists(engine)) {
        std::fprintf(stderr, "skin_bench: the first skin did not run\n");
        return 1;
    }

    // Later applications, cycling through the catalogue, with the repaint each causes.
    std::vector<double> apply;
    for (int round = 0; round < 3; ++round) {
        for (int n = 1; n <= skins::skinCount; ++n) {
            const auto t = Clock::now();
            skins::applySkin(n);
            QApplication::processEvents();
            apply.push_back(msSince(t));
        }
    }

    mapBareWindow();  // warm-up
    std::vector<double> baseline;
    for (int i = 0; i < 20; ++i) baseline.push_back(mapBareWindow());

    const double applyMs = median(apply), baselineMs = median(baseline);
    std::printf("skin: apply %.2f ms, first %.2f ms\n", applyMs, first);
    std::printf("first: write %.2f ms, load %.2f ms, restyle and repaint %.2f ms\n",
                TimedCreation::writeMs, TimedCreation::loadMs,
                first - TimedCreation::writeMs - TimedCreation::loadMs);
    // On "offscreen" nothing is mapped for real; run under X (xvfb-run) for a true baseline.
    std::printf("baseline: bare window mapped %.2f ms (platform %s)\n", baselineMs,
                qPrintable(QGuiApplication::platformName()));
    std::printf(
        "ratio: apply %.2fx, first %.2fx the baseline (targets: apply < 5 ms, "
        "first < 10 ms)\n",
        applyMs / baselineMs, first / baselineMs);
    std::printf("apply over %zu applications: min %.2f ms, max %.2f ms\n", apply.size(),
                *std::min_element(apply.begin(), apply.end()),
                *std::max_element(apply.begin(), apply.end()));
    app::endNormally();
    return 0;
}

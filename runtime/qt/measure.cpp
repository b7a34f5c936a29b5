#include <QElapsedTimer>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <thread>

#include "runtime/qt/qt_runtime.h"

namespace rt::qt {

std::vector<int32_t> measureInParallel(const std::vector<Text>& paths,
                                       const std::function<int32_t(const Text&)>& measure,
                                       int progressAfterMs) {
    const size_t count = paths.size();
    // Each slot is written by the one worker that took its index and read after join.
    std::vector<int32_t> lengths(count, 0);
    if (count == 0) return lengths;

    std::atomic<size_t> next{0};
    std::atomic<size_t> done{0};
    QEventLoop loop;  // window thread; the last worker wakes it by a queued quit
    const size_t hardware = std::max(2u, std::thread::hardware_concurrency());
    const size_t workers = std::min({count, hardware, size_t{8}});
    std::vector<std::thread> pool;
    pool.reserve(workers);
    for (size_t w = 0; w < workers; ++w) {
        pool.emplace_back([&] {
            for (size_t i = next++; i < count; i = next++) {
                lengths[i] = measure(paths[i]);
                if (done.fetch_add(1, std::memory_order_acq_rel) + 1 == count)
                    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
            }
        });
    }

    // Timers and painting go on meanwhile; clicks and keys wait until the lengths are in,
    // so no other handler runs inside the one that asked.
    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<QProgressDialog> progress;
    QTimer poll;
    poll.setInterval(15);  // the progress dialog's pace; the end comes through the quit
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        const size_t finished = done.load(std::memory_order_acquire);
        if (finished == count) return;
        if (!progress && clock.elapsed() >= progressAfterMs) {
            progress = std::make_unique<QProgressDialog>();
            progress->setWindowTitle(QStringLiteral("Tunaro"));
            progress->setLabelText(QStringLiteral("正在读取歌曲时长…"));
            progress->setCancelButton(nullptr);
            progress->setRange(0, static_cast<int>(count));
            progress->setMinimumDuration(0);
            progress->setWindowModality(Qt::ApplicationModal);
            progress->show();
        }
        if (progress) progress->setValue(static_cast<int>(finished));
    });
    poll.start();
    if (done.load(std::memory_order_acquire) < count) loop.exec(QEventLoop::ExcludeUserInputEvents);
    poll.stop();
    for (std::thread& t : pool) t.join();
    return lengths;
}

}  // namespace rt::qt

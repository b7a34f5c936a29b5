// The whole program over the Qt run time with real song files, in a child process: three
// songs go through the real import dialog, ">" starts the first, the tick moves on by
// itself from each song to the next and from the last to the first, and the slider scales
// what reaches the null output. QT_QPA_PLATFORM=offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/app.h"
#include "audio/player.h"
#include "audio/testing/song_writer.h"
#include "runtime/audio/audio_media_play.h"
#include "runtime/qt/qt_runtime.h"

namespace {

[[noreturn]] void checkFailed(const char* what, int line) {
    std::fprintf(stderr, "CHECK FAILED (line %d): %s\n", line, what);
    std::_Exit(4);
}
#define CHECK(cond) \
    if (!(cond)) checkFailed(#cond, __LINE__)

constexpr double toneAmplitude = 0.5;
constexpr const char* names[] = {"a.wav", "b.wav", "c.wav"};

// The RMS of the loudest 20 ms of interleaved stereo samples at 48 kHz, so that the silence
// around a change of song does not count; 0 for silence or no samples.
double loudestRms(const std::vector<float>& s) {
    constexpr size_t block = 960 * 2;
    double best = 0;
    for (size_t at = 0; at + block <= s.size(); at += block) {
        double sum = 0;
        for (size_t i = at; i < at + block; ++i) sum += double(s[i]) * s[i];
        best = std::max(best, std::sqrt(sum / block));
    }
    return best;
}

// Moves the slider as the keyboard does; the program itself only relabels 标签4.
void pressOnSlider(rt::qt::QtRuntime& qt, Qt::Key key) {
    QTest::keyClick(qt.controlWidget("滑块条1"), key);
}

// What the null output plays over 400 ms, taken once the tick has certainly pushed the
// slider's volume to the player (it does so every 500 ms).
std::vector<float> samplesAtTheSliderVolume(rt::MediaPlay& media) {
    QTest::qWait(1000);
    rt::takeCapturedForTest(media);
    QTest::qWait(400);
    return rt::takeCapturedForTest(media);
}

TEST(QtPlayThrough, PlaysOnByItselfAndTheSliderScalesTheSound) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const double seconds[] = {1.2, 2.3, 1.4};
    const double frequencies[] = {440, 550, 660};
    for (int i = 0; i < 3; ++i) {
        audio::testing::Tone tone;
        tone.seconds = seconds[i];
        tone.frequency = frequencies[i];
        tone.amplitude = toneAmplitude;
        ASSERT_TRUE(audio::testing::writeWav(folder.filePath(names[i]).toStdString(), tone,
                                             audio::testing::Pcm::S16));
    }
    const QString dir = folder.path();

    EXPECT_EXIT(
        {
            int status = 0;
            {
                rt::setAudioOutputForTest(true, true);
                rt::qt::QtRuntime qt;
                rt::install(&qt);
                QTimer::singleShot(300, [&qt, dir] {
                    auto* poll = new QTimer(qApp);
                    QObject::connect(poll, &QTimer::timeout, [dir] {
                        auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                        if (!d) return;
                        d->setDirectory(dir);
                        d->findChild<QLineEdit*>("fileNameEdit")
                            ->setText("\"a.wav\" \"b.wav\" \"c.wav\"");
                        static_cast<QDialog*>(d)->accept();
                    });
                    poll->start(50);
                    QTest::mouseClick(qt.controlWidget("按钮_导入MP3"), Qt::LeftButton);
                    poll->stop();

                    auto* table = static_cast<QTableWidget*>(qt.controlWidget("超级列表框1"));
                    CHECK(table->rowCount() == 3);
                    const char* durations[] = {"0:0:1", "0:0:2", "0:0:1"};
                    for (int r = 0; r < 3; ++r) {
                        CHECK(table->item(r, 0)->text() == QString::number(r + 1));
                        CHECK(table->item(r, 1)->text() == names[r]);
                        CHECK(table->item(r, 2)->text() == dir + "/" + names[r]);
                        CHECK(table->item(r, 3)->text() == durations[r]);
                    }

                    rt::Window& w = qt.mainWindow();
                    rt::MediaPlay& media = w.mediaPlay("媒体播放1");
                    QTest::mouseClick(qt.controlWidget("按钮_播放"), Qt::LeftButton);
                    CHECK(w.label("标签1").caption() == "a.wav");
                    CHECK(w.button("按钮_播放").caption() == "||");
                    CHECK(w.listView("超级列表框1").selectedRow() == 0);
                    CHECK(media.getState() == rt::MediaState::Playing);

                    // No further input: the tick moves on near each song's end, and from the
                    // last row back to the first.
                    for (int next : {1, 2, 0}) {
                        CHECK(QTest::qWaitFor(
                            [&] { return w.label("标签1").caption() == names[next]; }, 4000));
                        CHECK(w.listView("超级列表框1").selectedRow() == next);
                        CHECK(w.button("按钮_播放").caption() == "||");
                        CHECK(media.getState() == rt::MediaState::Playing);
                    }

                    // The slider starts at 50: the player's level is 500.
                    CHECK(w.label("标签4").caption() == "50%");
                    const double at50 = loudestRms(samplesAtTheSliderVolume(media));
                    pressOnSlider(qt, Qt::Key_Home);
                    CHECK(w.label("标签4").caption() == "0%");
                    const std::vector<float> quiet = samplesAtTheSliderVolume(media);
                    pressOnSlider(qt, Qt::Key_End);
                    CHECK(w.label("标签4").caption() == "100%");
                    const double at100 = loudestRms(samplesAtTheSliderVolume(media));

                    // 400 ms at 48 kHz, stereo: most of it must have been played.
                    CHECK(quiet.size() > 48000 * 2 * 3 / 10);
                    CHECK(
                        std::all_of(quiet.begin(), quiet.end(), [](float v) { return v == 0.0f; }));
                    const double unity = toneAmplitude / std::sqrt(2.0);
                    CHECK(std::abs(at100 / unity - 1) < 0.1);
                    CHECK(std::abs(at50 / at100 / audio::volumeGain(500) - 1) < 0.1);
                    QTest::mouseClick(qt.controlWidget("按钮_退出"), Qt::LeftButton);
                });
                QTimer::singleShot(30000, [] { std::_Exit(3); });
                status = app::programMain();
                rt::install(nullptr);
            }
            std::exit(status);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace

// The Qt backend's dialogs and the batch measurement: filters, the message box, and that
// timers keep firing while each is open. QT_QPA_PLATFORM=offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <thread>

#include "runtime/qt/qt_runtime.h"
#include "tests/runtime/test_window.h"

namespace runtime_test {
namespace {

const char* importFilter =
    "MP3文件（*.mp3）|*.mp3|WAV文件（*.wav）|*.wav|WMA文件（*.wma）|*.wma|MIDI文件（*.midi）|*."
    "midi|所有音频文件(*.MP3;*.wav;*.wma;*.midi)|*.MP3;*.wav;*.wma;*.midi";

TEST(NameFilters, PairsBecomeQtFilters) {
    struct Case {
        std::string text;
        std::vector<std::string> filters;
    };
    const Case cases[] = {
        {"MP3文件（*.mp3）|*.mp3", {"MP3文件（*.mp3） (*.mp3)"}},
        {"全部|*.MP3;*.wav;;*.midi", {"全部 (*.MP3 *.wav *.midi)"}},
        {"a|*.a|b|*.b", {"a (*.a)", "b (*.b)"}},
        {"no patterns|", {}},
        {"odd one out", {}},
        {"", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(rt::qt::nameFiltersOf(c.text), c.filters) << c.text;
}

TEST(LineBreaks, CrLfBecomesLf) {
    EXPECT_EQ(rt::qt::withUnixLineBreaks("a\r\n\r\nb\r\n"), "a\n\nb\n");
    EXPECT_EQ(rt::qt::withUnixLineBreaks("a\rb\n"), "a\rb\n");
}

// A modal dialog runs its own loop on this thread; this runs `step` from inside it until
// it returns true, and closes whatever modal dialog is left after limitMs.
void whileModal(const std::function<bool()>& step, int limitMs = 10000) {
    auto* poll = new QTimer;
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, step] {
        if (step()) poll->deleteLater();
    });
    poll->start();
    QTimer::singleShot(limitMs, poll, [] {
        ADD_FAILURE() << "modal dialog still open at the limit";
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w)) box->done(0);
    });
}

class QtDialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetSeen();
        rt::install(&qt);
        ASSERT_TRUE(qt.createMainWindow(testDesign(), testEvents()));
        qt.mainWindow().timer(timerName).setPeriod(40);
        startDirectory = QDir::currentPath();
    }
    void TearDown() override {
        QDir::setCurrent(startDirectory);
        rt::install(nullptr);
    }
    rt::qt::QtRuntime qt;
    QString startDirectory;
};

QStringList listed(QFileDialog* dialog, const QString& folder) {
    auto* model = dialog->findChild<QFileSystemModel*>();
    if (!model) return {};
    const QModelIndex parent = model->index(folder);
    QStringList names;
    for (int r = 0; r < model->rowCount(parent); ++r) {
        const QModelIndex i = model->index(r, 0, parent);
        if (!model->isDir(i) && (model->flags(i) & Qt::ItemIsEnabled)) names << model->fileName(i);
    }
    names.sort();
    return names;
}

TEST_F(QtDialogsTest, OpenDialogFiltersSelectsAndMovesTheCurrentDirectory) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    for (const char* name : {"SONG.MP3", "a.mid", "b.midi", "c.wav", "d.txt"}) {
        QFile f(folder.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QStringList filters, onMp3, onMidi, onAll;
    QString title, selectedFilter, suffix;
    bool nonNative = false, multi = false;
    int ticksWhileOpen = -1;
    int stage = 0;
    int filterIndex = -1;
    whileModal([&] {
        auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!d) return false;
        switch (stage) {
            case 0:
                title = d->windowTitle();
                filters = d->nameFilters();
                selectedFilter = d->selectedNameFilter();
                filterIndex = d->findChild<QComboBox*>("fileTypeCombo")->currentIndex();
                suffix = d->defaultSuffix();
                nonNative = d->testOption(QFileDialog::DontUseNativeDialog);
                multi = d->fileMode() == QFileDialog::ExistingFiles;
                seen.ticks = 0;
                ++stage;
                return false;
            case 1:  // the folder loads in the background
                onMp3 = listed(d, folder.path());
                if (onMp3.isEmpty()) return false;
                d->selectNameFilter(filters.value(3));
                ++stage;
                return false;
            case 2:
                onMidi = listed(d, folder.path());
                d->selectNameFilter(filters.value(4));
                ++stage;
                return false;
            default:
                onAll = listed(d, folder.path());
                if (seen.ticks < 2) return false;  // the window's timer goes on
                ticksWhileOpen = seen.ticks;
                d->findChild<QLineEdit*>("fileNameEdit")->setText("\"SONG.MP3\" \"c.wav\"");
                static_cast<QDialog*>(d)->accept();
                return true;
        }
    });
    const std::vector<rt::Text> paths =
        qt.openFileDialog({"选择歌曲", importFilter, folder.path().toStdString(), true});

    EXPECT_EQ(title, "选择歌曲");
    ASSERT_EQ(filters.size(), 5);
    EXPECT_EQ(filterIndex, 0);
    EXPECT_EQ(selectedFilter, "MP3文件（*.mp3）") << "the description shows as given";
    EXPECT_TRUE(suffix.isEmpty());
    EXPECT_TRUE(nonNative);
    EXPECT_TRUE(multi);
    EXPECT_EQ(onMp3, QStringList{"SONG.MP3"}) << "patterns ignore letter case";
    EXPECT_EQ(onMidi, QStringList{"b.midi"}) << "*.midi does not list .mid";
    EXPECT_EQ(onAll, (QStringList{"SONG.MP3", "b.midi", "c.wav"}));
    EXPECT_GE(ticksWhileOpen, 2);
    const QString base = QDir(folder.path()).canonicalPath();
    std::vector<rt::Text> expected = {(base + "/SONG.MP3").toStdString(),
                                      (base + "/c.wav").toStdString()};
    std::vector<rt::Text> got = paths;
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, expected);
    EXPECT_EQ(QDir(QDir::currentPath()).canonicalPath(), base);
}

TEST_F(QtDialogsTest, CancelledDialogGivesNothing) {
    whileModal([] {
        auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!d) return false;
        d->reject();
        return true;
    });
    EXPECT_TRUE(qt.openFileDialog({"t", importFilter, "", true}).empty());
    EXPECT_EQ(QDir::currentPath(), startDirectory);
}

TEST_F(QtDialogsTest, ErrorBoxHasNoOwnerTheErrorIconAndOneOkButton) {
    QString title, text;
    QMessageBox::Icon icon{};
    QMessageBox::StandardButtons buttons;
    bool hasParent = true;
    Qt::WindowModality modality{};
    int ticksWhileOpen = -1;
    whileModal([&] {
        QMessageBox* box = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible()) box = b;
        if (!box) return false;
        if (title.isEmpty()) {
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            buttons = box->standardButtons();
            hasParent = box->parentWidget() != nullptr;
            modality = box->windowModality();
            seen.ticks = 0;
        }
        if (seen.ticks < 2) return false;
        ticksWhileOpen = seen.ticks;
        box->button(QMessageBox::Ok)->click();
        return true;
    });
    qt.errorBox("错误", "运行时出错!\r\n\r\n错误代码：6\r\n\r\n错误信息：堆栈错误\r\n");
    EXPECT_EQ(title, "错误");
    EXPECT_EQ(text, "运行时出错!\n\n错误代码：6\n\n错误信息：堆栈错误\n");
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(buttons, QMessageBox::Ok);
    EXPECT_FALSE(hasParent);
    EXPECT_EQ(modality, Qt::NonModal) << "the main window keeps taking input";
    EXPECT_GE(ticksWhileOpen, 2);
}

int32_t slowLength(const rt::Text& path) {
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    return static_cast<int32_t>(path.size()) * 1000;
}

TEST_F(QtDialogsTest, MeasurementKeepsOrderTimersAndShowsProgressWhenSlow) {
    std::vector<rt::Text> paths;
    for (int i = 1; i <= 10; ++i) paths.push_back(std::string(i, 'x'));
    bool progressSeen = false;
    auto* watch = new QTimer;
    watch->setInterval(10);
    QObject::connect(watch, &QTimer::timeout, watch, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<QProgressDialog*>(w) && w->isVisible()) progressSeen = true;
    });
    watch->start();
    seen.ticks = 0;
    const std::vector<int32_t> lengths = rt::qt::measureInParallel(paths, slowLength, 100);
    delete watch;
    ASSERT_EQ(lengths.size(), paths.size());
    for (size_t i = 0; i < paths.size(); ++i) EXPECT_EQ(lengths[i], int32_t(i + 1) * 1000);
    EXPECT_TRUE(progressSeen);
    EXPECT_GE(seen.ticks, 2) << "the window's timer stopped during the measurement";
}

TEST_F(QtDialogsTest, QuickMeasurementShowsNoProgress) {
    bool progressSeen = false;
    auto* watch = new QTimer;
    watch->setInterval(5);
    QObject::connect(watch, &QTimer::timeout, watch, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<QProgressDialog*>(w) && w->isVisible()) progressSeen = true;
    });
    watch->start();
    const auto lengths = rt::qt::measureInParallel(
        {"a", "bb", "ccc"}, [](const rt::Text& p) { return int32_t(p.size()); }, 500);
    delete watch;
    EXPECT_EQ(lengths, (std::vector<int32_t>{1, 2, 3}));
    EXPECT_FALSE(progressSeen);
    EXPECT_TRUE(rt::qt::measureInParallel({}, slowLength).empty());
}

}  // namespace
}  // namespace runtime_test

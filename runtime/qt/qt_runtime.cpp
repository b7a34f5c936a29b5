#include "runtime/qt/qt_runtime.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>

#include "runtime/qt/posix_services.h"
#include "runtime/qt/qt_window.h"

#include "runtime/audio/audio_media_play.h"

namespace rt::qt {

namespace {

// The toolkit sees the program name alone: the command line has no effect.
int applicationArgc = 1;
char applicationName[] = "tunaro";
char* applicationArgv[] = {applicationName, nullptr};

// The window that is there before the main window exists and after it is gone.
class NoWindow : public Window {
public:
    Label& label(std::string_view name) override { missing(name); }
    Button& button(std::string_view name) override { missing(name); }
    SliderBar& slider(std::string_view name) override { missing(name); }
    Timer& timer(std::string_view name) override { missing(name); }
    ListView& listView(std::string_view name) override { missing(name); }
    MediaPlay& mediaPlay(std::string_view name) override { missing(name); }
    void requestDestroy() override {}
    bool exists() const override { return false; }

private:
    [[noreturn]] static void missing(std::string_view name) {
        runtimeFault("窗口不存在，无法使用控件“" + std::string(name) + "”");
    }
};

QIcon applicationIcon() {
    QIcon icon;
    for (int size : iconSizes) {
        const QString file = QString::fromUtf8(iconResourcePrefix) + QString::number(size) + ".png";
        if (QFile::exists(file)) icon.addFile(file, QSize(size, size));
    }
    return icon;
}

int32_t measureOne(const Text& path) {
    return audioSongLengthMs(path);
}

}  // namespace

struct QtRuntime::State {
    std::unique_ptr<QApplication> application;  // only when this run time made it
    std::unique_ptr<QtWindow> window;
    NoWindow noWindow;
    QEventLoop* loop = nullptr;  // the running main loop, if any
    posix::Libraries libraries;
    QTranslator translator;  // Qt's own texts in Chinese
};

QtRuntime::QtRuntime() : s_(std::make_unique<State>()) {
    if (!QApplication::instance()) {
        s_->application = std::make_unique<QApplication>(applicationArgc, applicationArgv);
    }
    QApplication::setApplicationName("Tunaro");
    QGuiApplication::setDesktopFileName("tunaro");
    // The main window's destruction ends the loop; a closed message box must not.
    QApplication::setQuitOnLastWindowClosed(false);
    const QIcon icon = applicationIcon();
    if (!icon.isNull()) QApplication::setWindowIcon(icon);
    // The player speaks Chinese whatever the system's language: Qt's own texts in the
    // file dialog and the message box ("打开", "取消", "确定") follow it.
    if (s_->translator.load(QStringLiteral("qtbase_zh_CN"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&s_->translator);
}

QtRuntime::~QtRuntime() {
    s_->window.reset();
    s_->libraries.releaseAll();
}

bool QtRuntime::createMainWindow(const WindowDesign& design, std::span<const EventBinding> events) {
    s_->window.reset();
    State* s = s_.get();
    s_->window = std::make_unique<QtWindow>(design, events, [s] {
        if (s->loop) s->loop->quit();
    });
    if (!s_->window->widget()) return false;
    s_->window->raiseCreatedAndShow();
    return true;
}

Window& QtRuntime::mainWindow() {
    if (s_->window && s_->window->exists()) return *s_->window;
    return s_->noWindow;
}

void QtRuntime::runEventLoop() {
    if (!s_->window || !s_->window->exists()) return;
    QEventLoop loop;
    s_->loop = &loop;
    loop.exec();
    s_->loop = nullptr;
}

Text QtRuntime::executablePath() {
    return posix::executablePath();
}
Text QtRuntime::currentDirectory() {
    return posix::currentDirectory();
}
bool QtRuntime::setCurrentDirectory(const Text& path) {
    return posix::setCurrentDirectory(path);
}
bool QtRuntime::pathExists(const Text& path) {
    return posix::pathExists(path);
}
bool QtRuntime::writeWholeFile(const Text& path, std::span<const uint8_t> bytes) {
    return posix::writeWholeFile(path, bytes);
}
bool QtRuntime::setHiddenAttribute(const Text& path) {
    return posix::setHiddenAttribute(path);
}

uintptr_t QtRuntime::loadLibrary(const Text& pathOrBareName) {
    return s_->libraries.load(pathOrBareName);
}
void* QtRuntime::findExport(uintptr_t library, const char* name) {
    return s_->libraries.find(library, name);
}
void QtRuntime::freeLibrary(uintptr_t library) {
    s_->libraries.free(library);
}
void QtRuntime::releaseAll() {
    s_->libraries.releaseAll();
}

uint32_t QtRuntime::tickCount() {
    return posix::tickCount();
}

void QtRuntime::errorBox(const Text& title, const Text& text) {
    QMessageBox box(QMessageBox::Critical, toQt(title), toQt(withUnixLineBreaks(text)),
                    QMessageBox::Ok, nullptr);
    box.setTextFormat(Qt::PlainText);
    // Owned by no window and not modal: the main window goes on taking input and its
    // timer goes on ticking until the box is dismissed.
    box.setWindowModality(Qt::NonModal);
    QEventLoop loop;
    QObject::connect(&box, &QMessageBox::finished, &loop, &QEventLoop::quit);
    box.show();
    box.raise();
    box.activateWindow();
    loop.exec();
}

std::vector<Text> QtRuntime::openFileDialog(const FileDialogOptions& options) {
    QFileDialog dialog(nullptr, toQt(options.title), toQt(options.initialFolder));
    // Qt's own dialog, so that filters and selection behave the same on every desktop.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(options.multiSelect ? QFileDialog::ExistingFiles
                                           : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QString());
    QStringList filters;
    for (const Text& f : nameFiltersOf(options.filter)) filters << toQt(f);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters.first());
    }
    if (dialog.exec() != QDialog::Accepted) return {};
    std::vector<Text> paths;
    const QStringList files = dialog.selectedFiles();
    for (const QString& f : files) paths.push_back(fromQt(f));
    if (!files.isEmpty())
        posix::setCurrentDirectory(fromQt(QFileInfo(files.first()).absolutePath()));
    return paths;
}

int32_t QtRuntime::songLengthMs(const Text& path) {
    return measureOne(path);
}

std::vector<int32_t> QtRuntime::measureSongLengths(const std::vector<Text>& paths) {
    return measureInParallel(paths, measureOne);
}

void QtRuntime::exitProcess(int status) {
    posix::exitProcess(status);
}

QWidget* QtRuntime::windowWidget() const {
    return s_->window ? s_->window->widget() : nullptr;
}

QWidget* QtRuntime::controlWidget(std::string_view name) const {
    return s_->window && s_->window->exists() ? s_->window->controlWidget(name) : nullptr;
}

std::vector<Text> nameFiltersOf(const Text& filter) {
    std::vector<Text> parts;
    size_t start = 0;
    for (;;) {
        const size_t bar = filter.find('|', start);
        parts.push_back(filter.substr(start, bar == Text::npos ? Text::npos : bar - start));
        if (bar == Text::npos) break;
        start = bar + 1;
    }
    std::vector<Text> result;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        Text patterns;
        size_t from = 0;
        const Text& list = parts[i + 1];
        for (;;) {
            const size_t semi = list.find(';', from);
            Text p = list.substr(from, semi == Text::npos ? Text::npos : semi - from);
            if (!p.empty()) patterns += (patterns.empty() ? "" : " ") + p;
            if (semi == Text::npos) break;
            from = semi + 1;
        }
        if (patterns.empty()) continue;
        // Qt reads the patterns from the last parentheses; the description shows as given.
        result.push_back(parts[i] + " (" + patterns + ")");
    }
    return result;
}

Text withUnixLineBreaks(const Text& text) {
    Text out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    return out;
}

}  // namespace rt::qt

// The sim run time: the platform services, the clock, the queue and the user's actions.
#include "runtime/sim/sim.h"

#include <algorithm>
#include <stdexcept>

#include "runtime/sim/sim_state.h"

namespace rt::sim {

// ---------------------------------------------------------------- clock and queue

void SimRuntime::State::post(std::function<void()> event) {
    queue.push_back(std::move(event));
}

void SimRuntime::State::runQueue() {
    // Depth keeps track of modal loops nested inside a handler; a throw (ProcessExit)
    // must leave it balanced.
    struct Depth {
        int& d;
        explicit Depth(int& v) : d(v) { ++d; }
        ~Depth() { --d; }
    } depth(queueDepth);
    while (!queue.empty()) {
        auto event = std::move(queue.front());
        queue.pop_front();
        event();
    }
}

void SimRuntime::State::advance(int64_t ms) {
    const int64_t target = now + std::max<int64_t>(0, ms);
    for (;;) {
        SimTimer* due = nullptr;
        std::string dueName;
        if (window && window->exists()) {
            const auto timers = window->timers();
            const auto names = window->timerNames();
            for (size_t i = 0; i < timers.size(); ++i) {
                const int64_t at = timers[i]->nextFireAt();
                if (at >= 0 && at <= target && (!due || at < due->nextFireAt())) {
                    due = timers[i];
                    dueName = names[i];
                }
            }
        }
        if (!due) break;
        // A handler may have moved the clock further (a modal dialog); never go back.
        now = std::max(now, due->nextFireAt());
        due->fired(now);
        window->raise(dueName, Event::Periodic);
        runQueue();
    }
    now = std::max(now, target);
}

Text SimRuntime::State::parentOf(const Text& path) const {
    const size_t p = lastSeparator(path, separator, codePage);
    if (p == std::string_view::npos) return {};
    return path.substr(0, p);
}

bool SimRuntime::State::directoryExists(const Text& path) const {
    if (directories.count(path)) return true;
    // A drive ("C:") and the root ("" before "/x") always exist.
    if (path.empty()) return convention == Convention::Utf8Slash;
    if (convention == Convention::GbkBackslash && path.size() == 2 && path[1] == ':') return true;
    if (convention == Convention::GbkBackslash && path.size() == 3 && path[1] == ':' &&
        path[2] == '\\')
        return true;
    return path == "/" && convention == Convention::Utf8Slash;
}

void SimRuntime::State::addDirectoryChain(const Text& path) {
    Text p = path;
    while (!p.empty() && !directoryExists(p)) {
        directories.insert(p);
        p = parentOf(p);
    }
}

// ---------------------------------------------------------------- construction

SimRuntime::SimRuntime(Convention convention) : s_(std::make_unique<State>()) {
    s_->self = this;
    s_->convention = convention;
    if (convention == Convention::GbkBackslash) {
        s_->codePage = CodePage::Gbk;
        s_->separator = '\\';
        setExecutablePath("C:\\Tunaro\\Tunaro.exe");
        setStartDirectory("C:\\Users\\Public");
    } else {
        s_->codePage = CodePage::Utf8;
        s_->separator = '/';
        setExecutablePath("/opt/tunaro/tunaro");
        setStartDirectory("/home/user");
    }
}

SimRuntime::~SimRuntime() = default;

// ---------------------------------------------------------------- scripting

void SimRuntime::setExecutablePath(const Text& path) {
    s_->executablePath = path;
    addFile(path);
}

void SimRuntime::setStartDirectory(const Text& path) {
    addDirectory(path);
    s_->currentDirectory = path;
}

void SimRuntime::setTickCount(uint32_t ms) {
    s_->tickBase = ms - static_cast<uint32_t>(s_->now);
}

void SimRuntime::addSong(const Text& path, SimSong song) {
    s_->songs[path] = song;
    s_->measuredLengths[path] = song.lengthMs;
}

void SimRuntime::setSongLength(const Text& path, int32_t measuredMs) {
    s_->measuredLengths[path] = measuredMs;
}

void SimRuntime::setMeasureDurationMs(int32_t ms) {
    s_->measureDurationMs = ms;
}

void SimRuntime::addFile(const Text& path, std::vector<uint8_t> bytes) {
    s_->addDirectoryChain(s_->parentOf(path));
    s_->files[path] = {std::move(bytes), false};
}

void SimRuntime::addDirectory(const Text& path) {
    s_->addDirectoryChain(path);
}

void SimRuntime::setFolderWritable(const Text& folder, bool writable) {
    if (writable)
        s_->readOnlyFolders.erase(folder);
    else
        s_->readOnlyFolders.insert(folder);
}

void SimRuntime::failWritesAfter(size_t bytes) {
    s_->failNextWriteAfter = bytes;
}

void SimRuntime::addLibrary(const Text& pathOrBareName, std::map<std::string, void*> exports) {
    s_->librariesByName[pathOrBareName] = std::move(exports);
}

void SimRuntime::setLibraryForFile(const Text& path, std::map<std::string, void*> exports) {
    s_->librariesByFile[path] = std::move(exports);
}

void SimRuntime::failWindowCreation(bool fail) {
    s_->failWindowCreation = fail;
}

// ---------------------------------------------------------------- user actions

namespace {
SimWindow& liveWindow(SimRuntime::State& s, const char* action) {
    if (!s.window || !s.window->exists())
        throw std::logic_error(std::string("sim: ") + action + " without a main window");
    return *s.window;
}
}  // namespace

void SimRuntime::click(const std::string& control) {
    SimWindow& w = liveWindow(*s_, "click");
    if (!w.has(control, ControlKind::Button))
        throw std::logic_error("sim: click on " + control + ", which is no button");
    w.raise(control, Event::Click);
    s_->runQueue();
}

void SimRuntime::clickRow(int32_t row) {
    SimWindow& w = liveWindow(*s_, "clickRow");
    if (!w.list()) throw std::logic_error("sim: no list view");
    if (row < 0 || row >= w.list()->rowCount()) return clickBelowLastRow();
    w.list()->userSelect(row);
    w.raise(w.listName(), Event::ListClick);
    s_->runQueue();
}

void SimRuntime::clickBelowLastRow() {
    SimWindow& w = liveWindow(*s_, "clickBelowLastRow");
    if (!w.list()) throw std::logic_error("sim: no list view");
    // A report list clears its selection when the empty area is clicked.
    w.list()->userSelect(-1);
    w.raise(w.listName(), Event::ListClick);
    s_->runQueue();
}

void SimRuntime::doubleClickRow(int32_t row) {
    SimWindow& w = liveWindow(*s_, "doubleClickRow");
    if (!w.list()) throw std::logic_error("sim: no list view");
    if (row < 0 || row >= w.list()->rowCount()) return doubleClickBelowLastRow();
    // A double-click begins with a click: the selection follows and the click comes first.
    w.list()->userSelect(row);
    w.raise(w.listName(), Event::ListClick);
    w.raise(w.listName(), Event::DoubleClick);
    s_->runQueue();
}

void SimRuntime::doubleClickBelowLastRow() {
    SimWindow& w = liveWindow(*s_, "doubleClickBelowLastRow");
    if (!w.list()) throw std::logic_error("sim: no list view");
    w.list()->userSelect(-1);
    w.raise(w.listName(), Event::ListClick);
    w.raise(w.listName(), Event::DoubleClick);
    s_->runQueue();
}

void SimRuntime::keyboardSelectRow(int32_t row) {
    SimWindow& w = liveWindow(*s_, "keyboardSelectRow");
    if (!w.list()) throw std::logic_error("sim: no list view");
    if (row >= 0 && row < w.list()->rowCount()) w.list()->userSelect(row);
}

void SimRuntime::slide(int32_t position) {
    SimWindow& w = liveWindow(*s_, "slide");
    if (!w.sliderControl()) throw std::logic_error("sim: no slider");
    w.sliderControl()->moveTo(position);
    w.raise(w.sliderName(), Event::PositionChanged);
    s_->runQueue();
}

void SimRuntime::pressKey(Key key) {
    SimWindow& w = liveWindow(*s_, "pressKey");
    const auto& order = w.focusOrder();
    switch (key) {
        case Key::Escape:
        case Key::AltF4:
            return requestClose();
        case Key::Tab:
            if (!order.empty()) w.focusIndex = (w.focusIndex + 1) % int(order.size());
            return;
        case Key::Enter:
        case Key::F1:
            return;  // no default button, no help
        default:
            break;
    }
    // The remaining keys move the slider when it has the focus.
    SimSlider* slider = w.sliderControl();
    if (!slider || order.empty() || order[w.focusIndex] != w.sliderName()) return;
    const int32_t p = slider->position();
    switch (key) {
        case Key::Left:
            slider->moveTo(p - 1);
            break;
        case Key::Right:
            slider->moveTo(p + 1);
            break;
        case Key::PageUp:
            slider->moveTo(p - 5);
            break;
        case Key::PageDown:
            slider->moveTo(p + 5);
            break;
        case Key::Home:
            slider->moveTo(slider->minimum());
            break;
        case Key::End:
            slider->moveTo(slider->maximum());
            break;
        default:
            return;
    }
    w.raise(w.sliderName(), Event::PositionChanged);
    s_->runQueue();
}

void SimRuntime::requestClose() {
    SimWindow& w = liveWindow(*s_, "requestClose");
    // No closing query is bound: the close is granted and the window goes at once.
    s_->post([&w] { w.destroy(); });
    s_->runQueue();
}

void SimRuntime::duringEventLoop(std::function<void()> script) {
    s_->loopScripts.push_back(std::move(script));
}

void SimRuntime::answerNextFileDialog(DialogAnswer answer) {
    s_->dialogAnswers.push_back(std::move(answer));
}

// ---------------------------------------------------------------- time

int64_t SimRuntime::now() const {
    return s_->now;
}

void SimRuntime::advance(int32_t ms) {
    s_->advance(ms);
}

// ---------------------------------------------------------------- inspection

const std::vector<FileDialogOptions>& SimRuntime::fileDialogs() const {
    return s_->fileDialogs;
}
const std::vector<MessageBoxRecord>& SimRuntime::messageBoxes() const {
    return s_->messageBoxes;
}
const std::vector<MediaCall>& SimRuntime::mediaCalls() const {
    return s_->mediaCalls;
}
void SimRuntime::clearMediaCalls() {
    s_->mediaCalls.clear();
}
int32_t SimRuntime::mediaVolume(int channel) const {
    return (channel == 0 || channel == 1) ? s_->mediaVolume[channel] : -1;
}

std::optional<std::vector<uint8_t>> SimRuntime::fileBytes(const Text& path) const {
    const auto it = s_->files.find(path);
    if (it == s_->files.end()) return std::nullopt;
    return it->second.bytes;
}

bool SimRuntime::isHidden(const Text& path) const {
    const auto it = s_->files.find(path);
    return it != s_->files.end() && it->second.hidden;
}

int SimRuntime::loadCount() const {
    return s_->loadCount;
}
std::vector<Text> SimRuntime::loadAttempts() const {
    return s_->loadAttempts;
}
int SimRuntime::loadedLibraryCount() const {
    return int(s_->loadedLibraries.size());
}
int64_t SimRuntime::windowShownAt() const {
    return s_->windowShownAt;
}
std::vector<std::string> SimRuntime::startupLog() const {
    return s_->startupLog;
}

std::vector<std::string> SimRuntime::focusOrder() const {
    return s_->window ? s_->window->focusOrder() : std::vector<std::string>{};
}

std::string SimRuntime::focusedControl() const {
    if (!s_->window || s_->window->focusOrder().empty()) return {};
    return s_->window->focusOrder()[s_->window->focusIndex];
}

std::vector<Text> SimRuntime::listColumnTitles() const {
    std::vector<Text> out;
    if (s_->window && s_->window->list())
        for (const ColumnDesign& c : s_->window->list()->columns()) out.push_back(c.title);
    return out;
}

bool SimRuntime::windowExists() const {
    return s_->window && s_->window->exists();
}

int32_t SimRuntime::timerPeriod() const {
    if (!s_->window) return 0;
    const auto timers = s_->window->timers();
    return timers.empty() ? 0 : timers.front()->period();
}

int64_t SimRuntime::timerNextFireAt() const {
    if (!s_->window || !s_->window->exists()) return -1;
    const auto timers = s_->window->timers();
    return timers.empty() ? -1 : timers.front()->nextFireAt();
}

int SimRuntime::queuedEventCount() const {
    return int(s_->queue.size());
}

// ---------------------------------------------------------------- Platform

CodePage SimRuntime::codePage() const {
    return s_->codePage;
}
char SimRuntime::separator() const {
    return s_->separator;
}

bool SimRuntime::createMainWindow(const WindowDesign& design,
                                  std::span<const EventBinding> events) {
    if (s_->failWindowCreation) return false;
    if (s_->window) s_->pastWindows.push_back(std::move(s_->window));
    s_->window = std::make_unique<SimWindow>(*s_, design, events);
    s_->windowShownAt = -1;
    // Built hidden; the created event's handler runs to its end before the first show.
    s_->window->raise("", Event::Created);
    s_->startupLog.push_back("created-event");
    s_->runQueue();
    if (!s_->window->exists()) return true;  // destroyed inside its created event
    s_->startupLog.push_back("shown");
    s_->windowShownAt = s_->now;
    s_->window->focusIndex = 0;
    return true;
}

Window& SimRuntime::mainWindow() {
    if (!s_->window) throw std::logic_error("sim: mainWindow() before createMainWindow()");
    return *s_->window;
}

void SimRuntime::runEventLoop() {
    // No real time passes in the sim: the loop ends when nothing is left to do.
    if (!s_->window || !s_->window->exists()) return;
    s_->runQueue();
    while (!s_->loopScripts.empty() && s_->window->exists()) {
        auto script = std::move(s_->loopScripts.front());
        s_->loopScripts.pop_front();
        script();
        s_->runQueue();
    }
}

Text SimRuntime::executablePath() {
    return s_->executablePath;
}
Text SimRuntime::currentDirectory() {
    return s_->currentDirectory;
}

bool SimRuntime::setCurrentDirectory(const Text& path) {
    if (!s_->directoryExists(path)) return false;
    s_->currentDirectory = path;
    return true;
}

bool SimRuntime::pathExists(const Text& path) {
    return s_->files.count(path) > 0 || s_->directories.count(path) > 0;
}

bool SimRuntime::writeWholeFile(const Text& path, std::span<const uint8_t> bytes) {
    const Text folder = s_->parentOf(path);
    const bool cutShort = s_->failNextWriteAfter && bytes.size() > *s_->failNextWriteAfter;
    s_->failNextWriteAfter.reset();
    if (!s_->directoryExists(folder) || s_->readOnlyFolders.count(folder)) return false;
    if (s_->directories.count(path)) return false;
    // The temporary is removed when the write breaks off: what stood there stays.
    if (cutShort) return false;
    s_->files[path] = {std::vector<uint8_t>(bytes.begin(), bytes.end()), false};
    return true;
}

bool SimRuntime::setHiddenAttribute(const Text& path) {
    const auto it = s_->files.find(path);
    if (it == s_->files.end()) return false;
    if (s_->readOnlyFolders.count(s_->parentOf(path))) return false;
    it->second.hidden = true;
    return true;
}

uintptr_t SimRuntime::loadLibrary(const Text& pathOrBareName) {
    s_->loadAttempts.push_back(pathOrBareName);
    const State::Exports* found = nullptr;
    auto byFile = [&](const Text& path) -> const State::Exports* {
        if (!s_->files.count(path)) return nullptr;
        const auto it = s_->librariesByFile.find(path);
        return it == s_->librariesByFile.end() ? nullptr : &it->second;
    };
    const bool bare = pathOrBareName.find(s_->separator) == Text::npos;
    if (bare) {
        // The bare-name search looks in the executable's folder first.
        const Text exeDir = s_->parentOf(s_->executablePath);
        found = byFile(exeDir + s_->separator + pathOrBareName);
    } else {
        found = byFile(pathOrBareName);
    }
    if (!found) {
        const auto it = s_->librariesByName.find(pathOrBareName);
        if (it != s_->librariesByName.end()) found = &it->second;
    }
    if (!found) return 0;
    const uintptr_t handle = s_->nextLibraryHandle;
    s_->nextLibraryHandle += 0x10000;
    s_->loadedLibraries[handle] = *found;
    ++s_->loadCount;
    return handle;
}

void* SimRuntime::findExport(uintptr_t library, const char* name) {
    const auto it = s_->loadedLibraries.find(library);
    if (it == s_->loadedLibraries.end() || !name) return nullptr;
    const auto e = it->second.find(name);
    return e == it->second.end() ? nullptr : e->second;
}

void SimRuntime::freeLibrary(uintptr_t library) {
    s_->loadedLibraries.erase(library);
}

void SimRuntime::releaseAll() {
    s_->loadedLibraries.clear();
}

uint32_t SimRuntime::tickCount() {
    return s_->tickBase + static_cast<uint32_t>(s_->now);
}

void SimRuntime::errorBox(const Text& title, const Text& text) {
    s_->messageBoxes.push_back({title, text});
}

std::vector<Text> SimRuntime::openFileDialog(const FileDialogOptions& options) {
    s_->fileDialogs.push_back(options);
    DialogAnswer answer;
    if (!s_->dialogAnswers.empty()) {
        answer = std::move(s_->dialogAnswers.front());
        s_->dialogAnswers.pop_front();
    }
    // The dialog's modal loop delivers the window's timer events while it is open.
    s_->advance(answer.openForMs);
    if (!answer.paths.empty()) {
        Text folder = s_->parentOf(answer.paths.front());
        // A drive's root keeps its separator ("C:\\"); the Linux root is "/".
        if (folder.empty() || (folder.size() == 2 && folder[1] == ':')) folder += s_->separator;
        s_->currentDirectory = folder;
    }
    return answer.paths;
}

int32_t SimRuntime::songLengthMs(const Text& path) {
    const auto it = s_->measuredLengths.find(path);
    return it == s_->measuredLengths.end() ? 0 : it->second;
}

std::vector<int32_t> SimRuntime::measureSongLengths(const std::vector<Text>& paths) {
    std::vector<int32_t> lengths;
    lengths.reserve(paths.size());
    for (const Text& p : paths) lengths.push_back(songLengthMs(p));
    // Timer events keep coming while the measurement runs.
    s_->advance(s_->measureDurationMs);
    return lengths;
}

void SimRuntime::exitProcess(int status) {
    throw ProcessExit{status};
}

}  // namespace rt::sim

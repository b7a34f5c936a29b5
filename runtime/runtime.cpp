#include "runtime/runtime.h"

#include <cstdlib>

namespace rt {

namespace {
Platform* installed = nullptr;
uint32_t randomState = 1;
}  // namespace

Platform& platform() {
    if (!installed) std::abort();  // a program routine ran before the entry installed one
    return *installed;
}

void install(Platform* p) { installed = p; }

void Timer::setPeriod(int32_t v) {
    if (v < 0) v = 0;
    if (v == period_) return;
    period_ = v;
    stopPeriodic();
    if (v > 0) startPeriodic(v);
}

void ListView::setCellText(int32_t row, int32_t column, const Text& text) {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount) return;
    storeCell(row, column, text);
}

Text ListView::cellText(int32_t row, int32_t column) const {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount) return {};
    return loadCell(row, column);
}

void ListView::setSelectedRow(int32_t row) {
    if (row < -1) row = -1;
    if (row >= rowCount()) return;
    if (row == -1 && selectedRow() == -1) return;
    showSelection(row);
}

bool MediaPlay::play(int32_t from) {
    pausedMark_ = false;
    return startPlaying(from);
}

bool MediaPlay::pause() {
    const bool wasMarked = pausedMark_;
    pausedMark_ = !pausedMark_;
    return wasMarked ? resume() : pauseInPlace();
}

bool MediaPlay::setVolume(int32_t left, int32_t right) {
    // int64 so that a huge percentage cannot wrap into the valid range.
    const int64_t l = int64_t{left} * 10;
    const int64_t r = int64_t{right} * 10;
    bool leftSet = false;
    bool rightSet = false;
    if (l >= 0 && l <= 1000) leftSet = setChannelVolume(0, static_cast<int32_t>(l));
    if (r >= 0 && r <= 1000) rightSet = setChannelVolume(1, static_cast<int32_t>(r));
    return leftSet && rightSet;
}

size_t lastSeparator(std::string_view text, char sep, CodePage cp) {
    size_t found = std::string_view::npos;
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            if (text[i] == sep) found = i;
            ++i;
            continue;
        }
        if (cp == CodePage::Gbk) {
            // A lead byte as the last byte ends the scan.
            if (i + 1 >= n) break;
            i += 2;
            continue;
        }
        // UTF-8: a lead byte begins a character of 2 to 4 bytes; a stray continuation
        // byte counts as one byte of its own. Never step past the end.
        size_t len = 1;
        if (b >= 0xF0) len = 4;
        else if (b >= 0xE0) len = 3;
        else if (b >= 0xC0) len = 2;
        size_t k = 1;
        while (k < len && i + k < n &&
               (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80)
            ++k;
        i += k;
    }
    return found;
}

void seedRandom(uint32_t seed) { randomState = seed; }

int32_t nextRandom() {
    randomState = randomState * 214013u + 2531011u;
    return static_cast<int32_t>((randomState >> 16) & 0x7fff);
}

}  // namespace rt

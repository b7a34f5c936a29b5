// The main window on Qt Widgets: the top-level widget, the controls over their widgets,
// and the binding of their events. Window thread only.
#pragma once

#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "runtime/runtime.h"

class QLabel;
class QPushButton;
class QSlider;
class QTableWidget;
class QTimer;
class QWidget;

namespace rt::qt {

inline QString toQt(const Text& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
inline Text fromQt(const QString& text) {
    return text.toUtf8().toStdString();
}

class QtLabel : public Label {
public:
    explicit QtLabel(QLabel* widget) : widget_(widget) {}
    void setCaption(const Text& text) override;
    Text caption() const override;

private:
    QLabel* widget_;  // child of the window widget
};

class QtButton : public Button {
public:
    explicit QtButton(QPushButton* widget) : widget_(widget) {}
    Text caption() const override;
    void setCaption(const Text& text) override;

private:
    QPushButton* widget_;
};

class QtSliderBar : public SliderBar {
public:
    explicit QtSliderBar(QSlider* widget) : widget_(widget) {}
    int32_t position() const override;

private:
    QSlider* widget_;
};

class QtTimer : public Timer {
public:
    explicit QtTimer(QTimer* timer) : timer_(timer) {}

protected:
    void startPeriodic(int32_t ms) override;
    void stopPeriodic() override;

private:
    QTimer* timer_;  // child of the window widget: it stops for good with the window
};

class QtListView : public ListView {
public:
    explicit QtListView(QTableWidget* widget) : widget_(widget) {}
    int32_t rowCount() const override;
    int32_t appendRow() override;
    int32_t selectedRow() const override;

protected:
    void storeCell(int32_t row, int32_t column, const Text& text) override;
    Text loadCell(int32_t row, int32_t column) const override;
    void showSelection(int32_t row) override;

private:
    QTableWidget* widget_;
};

// One main window: its widget and its controls. The controls live as long as the widget;
// when the widget goes (close box, Esc, requestDestroy) they are released with it, and
// the media player closes its file.
class QtWindow : public Window {
public:
    // on_destroyed runs once, while the widget is being destroyed.
    QtWindow(const WindowDesign& design, std::span<const EventBinding> events,
             std::function<void()> onDestroyed);
    ~QtWindow() override;

    Label& label(std::string_view name) override;
    Button& button(std::string_view name) override;
    SliderBar& slider(std::string_view name) override;
    Timer& timer(std::string_view name) override;
    ListView& listView(std::string_view name) override;
    MediaPlay& mediaPlay(std::string_view name) override;
    void requestDestroy() override;
    bool exists() const override;

    // The created event, then show and activate.
    void raiseCreatedAndShow();
    QWidget* widget() const;
    QWidget* controlWidget(std::string_view name) const;

    struct Controls;

private:
    std::unique_ptr<Controls> c_;
};

// The run-time error report for a fault of the run time itself (a control name that the
// design does not have): the box, then releaseAll and status 255.
[[noreturn]] void runtimeFault(const Text& message);

}  // namespace rt::qt

#include "runtime/qt/qt_window.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStyle>
#include <QTableWidget>
#include <QTimer>
#include <QWindow>
#include <cstdlib>
#include <cstring>

#include "runtime/audio/audio_media_play.h"

namespace rt::qt {

namespace {

// A one-line label that keeps its whole text inside its fixed box: where the font is
// wider than the box (the volume label is 24 pixels wide, and "100%" in a typical
// desktop font is not), the text is drawn in a smaller size of the same font.
class FittingLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override {
        const QRect box = contentsRect();
        QFont f = font();
        if (QFontMetrics(f).horizontalAdvance(text()) <= box.width()) {
            QLabel::paintEvent(event);
            return;
        }
        qreal size = f.pointSizeF() > 0 ? f.pointSizeF() : f.pixelSize() * 0.75;
        while (size > 5.0) {
            size -= 0.5;
            f.setPointSizeF(size);
            if (QFontMetrics(f).horizontalAdvance(text()) <= box.width()) break;
        }
        QPainter painter(this);
        painter.setFont(f);
        style()->drawItemText(&painter, box,
                              QStyle::visualAlignment(layoutDirection(), alignment()), palette(),
                              isEnabled(), text(), foregroundRole());
    }
};

}  // namespace

// ---------------------------------------------------------------- controls

void QtLabel::setCaption(const Text& text) {
    widget_->setText(toQt(text));
    if (widget_->isVisible()) widget_->repaint();
}

Text QtLabel::caption() const {
    return fromQt(widget_->text());
}

Text QtButton::caption() const {
    return fromQt(widget_->text());
}

void QtButton::setCaption(const Text& text) {
    widget_->setText(toQt(text));
    if (widget_->isVisible()) widget_->repaint();
}

// sliderPosition, not value: while actionTriggered runs, the value has not caught up yet.
int32_t QtSliderBar::position() const {
    return widget_->sliderPosition();
}

void QtTimer::startPeriodic(int32_t ms) {
    timer_->start(ms);
}

void QtTimer::stopPeriodic() {
    timer_->stop();
}

int32_t QtListView::rowCount() const {
    return widget_->rowCount();
}

int32_t QtListView::appendRow() {
    const int row = widget_->rowCount();
    widget_->insertRow(row);
    for (int column = 0; column < columnCount; ++column) {
        auto* item = new QTableWidgetItem;
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        widget_->setItem(row, column, item);
    }
    return row;
}

int32_t QtListView::selectedRow() const {
    const QModelIndexList rows = widget_->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void QtListView::storeCell(int32_t row, int32_t column, const Text& text) {
    if (QTableWidgetItem* item = widget_->item(row, column)) item->setText(toQt(text));
}

Text QtListView::loadCell(int32_t row, int32_t column) const {
    const QTableWidgetItem* item = widget_->item(row, column);
    return item ? fromQt(item->text()) : Text{};
}

namespace {

// Selects a whole row (or none for -1) and puts the focus mark on it.
void selectRow(QTableWidget* table, int row) {
    QItemSelectionModel* model = table->selectionModel();
    if (row >= 0) {
        model->setCurrentIndex(table->model()->index(row, 0),
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    } else {
        model->clearSelection();
        model->clearCurrentIndex();
    }
}

}  // namespace

void QtListView::showSelection(int32_t row) {
    // The view scrolls to a new current row by itself; a write must not scroll.
    const bool autoScroll = widget_->hasAutoScroll();
    widget_->setAutoScroll(false);
    selectRow(widget_, row);
    widget_->setAutoScroll(autoScroll);
}

// ---------------------------------------------------------------- the window

namespace {

Handler boundHandler(std::span<const EventBinding> events, const char* control, Event event) {
    for (const EventBinding& b : events) {
        const bool sameControl = (b.control == nullptr || control == nullptr)
                                     ? b.control == control
                                     : std::strcmp(b.control, control) == 0;
        if (sameControl && b.event == event) return b.handler;
    }
    return nullptr;
}

void call(Handler h) {
    if (h) h();
}

class MainWidget : public QWidget {
public:
    std::function<void()> onDestroyed;
    std::function<void(bool shown)> onGeometryEvent;

    ~MainWidget() override {
        if (onDestroyed) onDestroyed();
    }

protected:
    bool event(QEvent* e) override {
        const bool result = QWidget::event(e);
        switch (e->type()) {
            case QEvent::Show:
            case QEvent::Move:
            case QEvent::Resize:
            case QEvent::PlatformSurface:
                if (onGeometryEvent) onGeometryEvent(isVisible());
                break;
            default:
                break;
        }
        return result;
    }
};

// Esc, and Alt+F4 where no window manager takes it first, close the window from whichever
// of its controls has the focus, exactly as the close box does. An application-wide
// filter sees the key before any control can use it.
class CloseKeyFilter : public QObject {
public:
    explicit CloseKeyFilter(QWidget* window) : window_(window) {}

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() != QEvent::KeyPress || !watched->isWidgetType() || !window_) return false;
        if (static_cast<QWidget*>(watched)->window() != window_) return false;
        const auto* key = static_cast<QKeyEvent*>(e);
        const bool esc = key->key() == Qt::Key_Escape;
        const bool altF4 = key->key() == Qt::Key_F4 && key->modifiers() == Qt::AltModifier;
        if (!esc && !altF4) return false;
        window_->close();
        return true;
    }

private:
    QPointer<QWidget> window_;
};

// The list's mouse: a left press anywhere in the row area selects the row under the
// pointer, or clears the selection below the last row; the click event comes when the
// button is released, the double-click event on the second press.
class ListMouseFilter : public QObject {
public:
    ListMouseFilter(QTableWidget* table, Handler click, Handler doubleClick)
        : QObject(table), table_(table), click_(click), doubleClick_(doubleClick) {}

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        switch (e->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick: {
                const auto* m = static_cast<QMouseEvent*>(e);
                if (m->button() != Qt::LeftButton) return false;
                table_->setFocus(Qt::MouseFocusReason);
                selectRow(table_, table_->rowAt(m->position().toPoint().y()));
                if (e->type() == QEvent::MouseButtonDblClick) {
                    pressed_ = false;  // the release of a double-click is no click
                    call(doubleClick_);
                } else {
                    pressed_ = true;
                }
                return true;
            }
            case QEvent::MouseMove:
                return pressed_;
            case QEvent::MouseButtonRelease: {
                const auto* m = static_cast<QMouseEvent*>(e);
                if (m->button() != Qt::LeftButton) return false;
                const bool wasPressed = pressed_;
                pressed_ = false;
                if (wasPressed) call(click_);
                return true;
            }
            default:
                return false;
        }
    }

private:
    QTableWidget* table_;
    Handler click_;
    Handler doubleClick_;
    bool pressed_ = false;
};

Qt::Alignment alignmentOf(Align a) {
    switch (a) {
        case Align::Center:
            return Qt::AlignHCenter;
        case Align::Right:
            return Qt::AlignRight;
        case Align::Left:
            break;
    }
    return Qt::AlignLeft;
}

QTableWidget* makeListView(QWidget* parent, const WindowDesign& design) {
    auto* table = new QTableWidget(0, ListView::columnCount, parent);
    QStringList titles;
    for (const ColumnDesign& c : design.listColumns) titles << QString::fromUtf8(c.title);
    table->setHorizontalHeaderLabels(titles);
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setMinimumSectionSize(1);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 4);

    QHeaderView* header = table->horizontalHeader();
    header->setSectionsMovable(false);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    header->setStretchLastSection(false);
    header->setHighlightSections(false);
    header->setMinimumSectionSize(0);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // A header press would select a column; nothing is bound to the header.
    QObject::disconnect(header, &QHeaderView::sectionPressed, table, nullptr);
    QObject::disconnect(header, &QHeaderView::sectionEntered, table, nullptr);
    int column = 0;
    for (const ColumnDesign& c : design.listColumns) table->setColumnWidth(column++, c.width);

    table->setShowGrid(true);
    table->setSortingEnabled(false);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setTabKeyNavigation(false);  // Tab leaves the list for the next control
    table->setDragEnabled(false);
    table->setWordWrap(false);
    table->setCornerButtonEnabled(false);
    table->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    // The selection stays highlighted while the list has no focus.
    QPalette p = table->palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight,
               p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText,
               p.color(QPalette::Active, QPalette::HighlightedText));
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::Text, Qt::black);
    table->setPalette(p);
    return table;
}

}  // namespace

struct QtWindow::Controls {
    QPointer<MainWidget> widget;  // owned by Qt; deleted on close or by requestDestroy
    int outerWidth = 0;
    int outerHeight = 0;
    QMargins fittedMargins{-1, -1, -1, -1};  // the frame the last fit allowed for
    bool placedWhenShown = false;
    Handler created = nullptr;
    std::unique_ptr<CloseKeyFilter> closeKeys;
    std::function<void()> onDestroyed;

    std::map<std::string, std::unique_ptr<QtLabel>, std::less<>> labels;
    std::map<std::string, std::unique_ptr<QtButton>, std::less<>> buttons;
    std::map<std::string, std::unique_ptr<QtSliderBar>, std::less<>> sliders;
    std::map<std::string, std::unique_ptr<QtTimer>, std::less<>> timers;
    std::map<std::string, std::unique_ptr<QtListView>, std::less<>> lists;
    std::map<std::string, std::unique_ptr<MediaPlay>, std::less<>> media;
    std::map<std::string, QWidget*, std::less<>> widgets;

    void release() {
        if (closeKeys) qApp->removeEventFilter(closeKeys.get());
        closeKeys.reset();
        media.clear();  // closes what the player holds open
        labels.clear();
        buttons.clear();
        sliders.clear();
        timers.clear();
        lists.clear();
        widgets.clear();
    }

    // The outer size includes the frame that the window system reports, which a window
    // manager may announce only after the window is mapped: the client area is sized and
    // the window centred again whenever that frame changes, and once when first shown.
    void fitOuterSize(bool shown) {
        if (!widget) return;
        QWindow* handle = widget->windowHandle();
        const QMargins m = handle ? handle->frameMargins() : QMargins();
        const bool firstShow = shown && !placedWhenShown;
        if (m == fittedMargins && !firstShow) return;
        if (shown) placedWhenShown = true;
        fittedMargins = m;
        widget->setFixedSize(outerWidth - m.left() - m.right(), outerHeight - m.top() - m.bottom());
        const QScreen* screen = QGuiApplication::primaryScreen();
        const QRect s = screen ? screen->geometry() : QRect(0, 0, outerWidth, outerHeight);
        const QPoint place(s.x() + (s.width() - outerWidth) / 2,
                           s.y() + (s.height() - outerHeight) / 2);
        // Platforms differ in whether a window's position is its frame's or its client
        // area's: place it, then correct by what the frame turned out to be.
        widget->move(place);
        const QPoint off = widget->frameGeometry().topLeft() - place;
        if (!off.isNull()) widget->move(place - off);
    }
};

QtWindow::QtWindow(const WindowDesign& design, std::span<const EventBinding> events,
                   std::function<void()> onDestroyed)
    : c_(std::make_unique<Controls>()) {
    c_->outerWidth = design.outerWidth;
    c_->outerHeight = design.outerHeight;
    c_->created = boundHandler(events, nullptr, Event::Created);
    c_->onDestroyed = std::move(onDestroyed);

    auto* w = new MainWidget;
    c_->widget = w;
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                      Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                      Qt::WindowCloseButtonHint);
    w->setWindowTitle(QString::fromUtf8(design.title));

    for (const ControlDesign& d : design.controls) {
        const std::string name = d.name;
        const QString text = d.text ? QString::fromUtf8(d.text) : QString();
        QWidget* control = nullptr;
        switch (d.kind) {
            case ControlKind::Label: {
                auto* label = new FittingLabel(w);
                label->setTextFormat(Qt::PlainText);
                label->setWordWrap(false);
                label->setAlignment(alignmentOf(d.align) | Qt::AlignVCenter);
                label->setText(text);
                c_->labels.emplace(name, std::make_unique<QtLabel>(label));
                control = label;
                break;
            }
            case ControlKind::Button: {
                auto* button = new QPushButton(text, w);
                button->setAutoDefault(false);
                button->setDefault(false);
                const Handler h = boundHandler(events, d.name, Event::Click);
                QObject::connect(button, &QPushButton::clicked, button, [h] { call(h); });
                c_->buttons.emplace(name, std::make_unique<QtButton>(button));
                control = button;
                break;
            }
            case ControlKind::SliderBar: {
                auto* slider = new QSlider(Qt::Horizontal, w);
                slider->setRange(design.sliderMinimum, design.sliderMaximum);
                slider->setValue(design.sliderPosition);
                slider->setSingleStep(1);
                slider->setPageStep(5);
                slider->setTickPosition(QSlider::NoTicks);
                slider->setTracking(true);
                // User moves only: keys, channel clicks, the wheel and every step of a
                // drag come as actions; the release of a drag once more. A program write
                // (setValue) triggers no action.
                const Handler h = boundHandler(events, d.name, Event::PositionChanged);
                QObject::connect(slider, &QAbstractSlider::actionTriggered, slider,
                                 [h](int) { call(h); });
                QObject::connect(slider, &QAbstractSlider::sliderReleased, slider,
                                 [h] { call(h); });
                c_->sliders.emplace(name, std::make_unique<QtSliderBar>(slider));
                control = slider;
                break;
            }
            case ControlKind::Timer: {
                auto* timer = new QTimer(w);
                timer->setTimerType(Qt::PreciseTimer);
                const Handler h = boundHandler(events, d.name, Event::Periodic);
                QObject::connect(timer, &QTimer::timeout, timer, [h] { call(h); });
                c_->timers.emplace(name, std::make_unique<QtTimer>(timer));
                break;
            }
            case ControlKind::ListView: {
                QTableWidget* table = makeListView(w, design);
                table->viewport()->installEventFilter(
                    new ListMouseFilter(table, boundHandler(events, d.name, Event::ListClick),
                                        boundHandler(events, d.name, Event::DoubleClick)));
                c_->lists.emplace(name, std::make_unique<QtListView>(table));
                control = table;
                break;
            }
            case ControlKind::MediaPlay:
                c_->media.emplace(name, makeAudioMediaPlay());
                break;
        }
        if (!control) continue;
        control->setObjectName(QString::fromUtf8(d.name));
        control->setGeometry(d.left, d.top, d.width, d.height);
        control->setFocusPolicy(d.takesFocus ? Qt::StrongFocus : Qt::NoFocus);
        if (d.accessibleName) control->setAccessibleName(QString::fromUtf8(d.accessibleName));
        if (!d.shown) control->hide();
        c_->widgets.emplace(name, control);
    }

    c_->closeKeys = std::make_unique<CloseKeyFilter>(w);
    qApp->installEventFilter(c_->closeKeys.get());

    Controls* c = c_.get();
    w->onDestroyed = [c] {
        c->release();
        if (c->onDestroyed) c->onDestroyed();
    };
    w->onGeometryEvent = [c](bool shown) { c->fitOuterSize(shown); };
    w->winId();  // the platform window exists now, with whatever frame it knows of
    c_->fitOuterSize(false);
}

QtWindow::~QtWindow() {
    if (c_->widget) {
        c_->widget->onDestroyed = nullptr;
        c_->widget->onGeometryEvent = nullptr;
        delete c_->widget.data();
    }
    c_->release();
}

void QtWindow::raiseCreatedAndShow() {
    call(c_->created);
    if (!c_->widget) return;  // the created handler may have ended it
    c_->widget->show();
    c_->widget->raise();
    c_->widget->activateWindow();
    // A window manager announces its frame some time after the window is mapped, not
    // always with an event that reaches the widget: look again a few times.
    Controls* c = c_.get();
    for (int ms : {50, 150, 400, 1000, 2500})
        QTimer::singleShot(ms, c_->widget.data(), [c] { c->fitOuterSize(true); });
}

QWidget* QtWindow::widget() const {
    return c_->widget.data();
}

QWidget* QtWindow::controlWidget(std::string_view name) const {
    const auto it = c_->widgets.find(name);
    return it == c_->widgets.end() ? nullptr : it->second;
}

namespace {

template <typename Map>
auto& findControl(Map& map, std::string_view name) {
    const auto it = map.find(name);
    if (it == map.end()) runtimeFault("找不到控件“" + std::string(name) + "”");
    return *it->second;
}

}  // namespace

Label& QtWindow::label(std::string_view name) {
    return findControl(c_->labels, name);
}
Button& QtWindow::button(std::string_view name) {
    return findControl(c_->buttons, name);
}
SliderBar& QtWindow::slider(std::string_view name) {
    return findControl(c_->sliders, name);
}
Timer& QtWindow::timer(std::string_view name) {
    return findControl(c_->timers, name);
}
ListView& QtWindow::listView(std::string_view name) {
    return findControl(c_->lists, name);
}
MediaPlay& QtWindow::mediaPlay(std::string_view name) {
    return findControl(c_->media, name);
}

void QtWindow::requestDestroy() {
    // Carried out by the event loop once the current handler has returned; no closing
    // query is asked.
    if (c_->widget) c_->widget->deleteLater();
}

bool QtWindow::exists() const {
    return !c_->widget.isNull();
}

void runtimeFault(const Text& message) {
    Platform& p = platform();
    p.errorBox("错误", "运行时出错!\r\n\r\n错误信息：" + message + "\r\n");
    p.releaseAll();
    p.exitProcess(-1);  // status 255
    std::abort();       // exitProcess does not return
}

}  // namespace rt::qt

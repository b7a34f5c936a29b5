#include "tests/skins/stand_in_window.h"

#include <QHeaderView>
#include <QLabel>
#include <QSlider>
#include <QTreeWidget>

namespace skins::testing {

StandInWindow buildStandInWindow(const rt::WindowDesign& design) {
    StandInWindow w;
    w.window = std::make_unique<QWidget>();
    w.window->setWindowTitle(QString::fromUtf8(design.title));
    // The outer size less a typical frame and title bar: the client area.
    w.window->setFixedSize(design.outerWidth - 6, design.outerHeight - 29);
    for (const rt::ControlDesign& c : design.controls) {
        QWidget* widget = nullptr;
        const QString text = QString::fromUtf8(c.text ? c.text : "");
        switch (c.kind) {
            case rt::ControlKind::Label: {
                auto* label = new QLabel(text, w.window.get());
                label->setAlignment(Qt::AlignVCenter |
                                    (c.align == rt::Align::Center  ? Qt::AlignHCenter
                                     : c.align == rt::Align::Right ? Qt::AlignRight
                                                                   : Qt::AlignLeft));
                widget = label;
                break;
            }
            case rt::ControlKind::Button: {
                auto* button = new QPushButton(text, w.window.get());
                w.buttons.push_back(button);
                widget = button;
                break;
            }
            case rt::ControlKind::SliderBar: {
                auto* slider = new QSlider(Qt::Horizontal, w.window.get());
                slider->setRange(design.sliderMinimum, design.sliderMaximum);
                slider->setValue(design.sliderPosition);
                widget = slider;
                break;
            }
            case rt::ControlKind::ListView: {
                auto* list = new QTreeWidget(w.window.get());
                list->setRootIsDecorated(false);
                QStringList titles;
                for (const rt::ColumnDesign& col : design.listColumns)
                    titles << QString::fromUtf8(col.title);
                list->setHeaderLabels(titles);
                for (int i = 0; i < int(design.listColumns.size()); ++i) {
                    list->setColumnWidth(i, design.listColumns[i].width);
                    if (design.listColumns[i].width == 0) list->setColumnHidden(i, true);
                }
                const char* songs[][4] = {{"1", "晴天.mp3", "", "0:4:29"},
                                          {"2", "夜曲.wav", "", "0:3:46"},
                                          {"3", "Canon in D.midi", "", "0:5:2"},
                                          {"4", "稻香.wma", "", "0:3:43"}};
                for (const auto& s : songs) {
                    auto* item = new QTreeWidgetItem(list);
                    for (int k = 0; k < 4; ++k) item->setText(k, QString::fromUtf8(s[k]));
                }
                list->setCurrentItem(list->topLevelItem(1));
                widget = list;
                break;
            }
            case rt::ControlKind::Timer:
            case rt::ControlKind::MediaPlay:
                continue;
        }
        widget->setGeometry(c.left, c.top, c.width, c.height);
        widget->setFocusPolicy(c.takesFocus ? Qt::StrongFocus : Qt::NoFocus);
        w.controls.push_back(widget);
    }
    return w;
}

}  // namespace skins::testing

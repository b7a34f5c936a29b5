// Renders the real window in every skin and in the empty skin, plus the dialogs in a few
// skins, into one contact-sheet PNG.   skin_sheet OUT.png
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QProgressDialog>
#include <QPushButton>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/main_window.h"
#include "runtime/qt/qt_runtime.h"
#include "skins/engine/tsk_format.h"
#include "skins/skins.h"

namespace {

QString skinName(int n) {
    skins::tsk::Skin skin;
    if (n < 1 || skins::tsk::parse(skins::skinCatalogue(n), skin) != skins::tsk::Status::Ok)
        return "空皮肤 (默认外观)";
    return QString("%1  %2").arg(n).arg(QString::fromUtf8(skin.name.data(), skin.name.size()));
}

// A few songs, one selected, so the list shows its rows, grid and selection.
void fillPlaylist() {
    rt::ListView& list = app::mainWindow().超级列表框1;
    const char* songs[][4] = {{"1", "晴天.mp3", "/music/晴天.mp3", "0:4:29"},
                              {"2", "夜曲.wav", "/music/夜曲.wav", "0:3:46"},
                              {"3", "Canon in D.midi", "/music/Canon in D.midi", "0:5:2"},
                              {"4", "稻香.wma", "/music/稻香.wma", "0:3:43"}};
    for (const auto& s : songs) {
        const int32_t row = list.appendRow();
        for (int c = 0; c < 4; ++c) list.setCellText(row, c, s[c]);
    }
    list.setSelectedRow(1);
    app::mainWindow().标签1.setCaption("夜曲.wav");
    app::mainWindow().标签2.setCaption("0:1:12/0:3:46");
}

QPixmap grabFileDialog() {
    QFileDialog files(nullptr, "导入歌曲", "/usr/share", "MP3 文件 (*.mp3);;所有文件 (*)");
    files.setOption(QFileDialog::DontUseNativeDialog);
    files.setFileMode(QFileDialog::ExistingFiles);
    files.resize(560, 360);
    files.show();
    QApplication::processEvents();
    return files.grab();
}

QPixmap grabDialogs() {
    QMessageBox box(QMessageBox::Critical, "错误",
                    "运行时出错!\n\n错误代码：6\n\n错误信息：调用DLL命令后发现堆栈错误",
                    QMessageBox::Ok);
    box.show();
    QProgressDialog progress("正在读取歌曲长度…", "取消", 0, 10);
    progress.setValue(4);
    progress.setMinimumDuration(0);
    progress.show();
    QApplication::processEvents();
    const QPixmap a = box.grab(), b = progress.grab(), c = grabFileDialog();
    QPixmap out(a.width() + b.width() + c.width() + 16,
                std::max({a.height(), b.height(), c.height()}));
    out.fill(QColor("#808080"));
    QPainter p(&out);
    p.drawPixmap(0, 0, a);
    p.drawPixmap(a.width() + 8, 0, b);
    p.drawPixmap(a.width() + b.width() + 16, 0, c);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: skin_sheet OUT.png\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    rt::qt::QtRuntime runtime;
    rt::install(&runtime);
    // The start-up moves into the executable's directory: fix the output's place first.
    const QString out = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    app::startUp();  // the created event writes, binds and applies skin 2
    fillPlaylist();
    QWidget* window = runtime.windowWidget();
    // The states a still picture can show: the focus on play, stop held down.
    runtime.controlWidget("按钮_播放")->setFocus();
    static_cast<QPushButton*>(runtime.controlWidget("按钮_停止"))->setDown(true);

    std::vector<std::pair<QPixmap, QString>> tiles;
    for (int n = 1; n <= skins::skinCount + 1; ++n) {
        const int skin = n <= skins::skinCount ? n : 0;  // the empty skin last
        skins::applySkin(skin);
        QApplication::processEvents();
        tiles.emplace_back(window->grab(), skinName(skin));
    }
    std::vector<std::pair<QPixmap, QString>> dialogs;
    for (int n : {2, 3, 21, 32}) {
        skins::applySkin(n);
        QApplication::processEvents();
        dialogs.emplace_back(grabDialogs(), skinName(n) + "：对话框");
    }

    const int columns = 7, pad = 12, caption = 22;
    const QSize tile = tiles.front().first.size() / tiles.front().first.devicePixelRatio();
    const int rows = (int(tiles.size()) + columns - 1) / columns;
    const QSize dialog = dialogs.front().first.size();
    const int width = columns * (tile.width() + pad) + pad;
    const int dialogColumns = std::max(1, (width - pad) / (dialog.width() + pad));
    const int dialogRows = (int(dialogs.size()) + dialogColumns - 1) / dialogColumns;
    const int height = rows * (tile.height() + caption + pad) + pad +
                       dialogRows * (dialog.height() + caption + pad);
    QImage sheet(width, height, QImage::Format_RGB32);
    sheet.fill(QColor("#808080"));
    QPainter p(&sheet);
    QFont font = QApplication::font();
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    for (size_t i = 0; i < tiles.size(); ++i) {
        const int x = pad + int(i % columns) * (tile.width() + pad);
        const int y = pad + int(i / columns) * (tile.height() + caption + pad);
        p.drawText(QRect(x, y, tile.width(), caption), Qt::AlignLeft | Qt::AlignVCenter,
                   tiles[i].second);
        p.drawPixmap(x, y + caption, tiles[i].first);
    }
    const int top = pad + rows * (tile.height() + caption + pad);
    const int half = (width - 3 * pad) / 2;
    for (size_t i = 0; i < dialogs.size(); ++i) {
        const int x = pad + int(i % 2) * (half + pad);
        const int y = top + int(i / 2) * (dialog.height() + caption + pad);
        p.drawText(QRect(x, y, half, caption), Qt::AlignLeft | Qt::AlignVCenter, dialogs[i].second);
        p.drawPixmap(x, y + caption, dialogs[i].first);
    }
    p.end();
    const bool saved = sheet.save(out);
    skins::applySkin(2);
    app::endNormally();
    if (!saved) {
        std::fprintf(stderr, "skin_sheet: cannot write %s\n", qPrintable(out));
        return 1;
    }
    std::printf("%s\n", qPrintable(out));
    return 0;
}

// The skin engine: the application's palette and style sheet from a ".TSK" skin.
#include <QApplication>
#include <QPalette>
#include <QPointer>
#include <QString>
#include <QThread>

#include "skins/engine/tsk_format.h"
#include "skins/engine/tunaroskin.h"

namespace {

using skins::tsk::Group;
using skins::tsk::Status;

// The look before the first skin, kept per application object so that a new
// QApplication in the same process starts afresh. Application thread only.
struct DefaultLook {
    QPointer<QApplication> app;
    QPalette palette;
    QString sheet;
};
DefaultLook defaultLook;

void noteDefaultLook(QApplication* app) {
    if (defaultLook.app == app) return;
    defaultLook.app = app;
    defaultLook.palette = QApplication::palette();
    defaultLook.sheet = app->styleSheet();
}

QPalette paletteOf(const skins::tsk::Skin& skin) {
    // Start from the default look so that roles a skin leaves out stay coherent.
    QPalette pal = defaultLook.palette;
    for (const skins::tsk::PaletteEntry& e : skin.palette) {
        const auto role = static_cast<QPalette::ColorRole>(e.role);
        const QColor colour(e.red, e.green, e.blue, e.alpha);
        switch (e.group) {
            case Group::All:
                pal.setColor(role, colour);
                break;
            case Group::Active:
                pal.setColor(QPalette::Active, role, colour);
                break;
            case Group::Inactive:
                pal.setColor(QPalette::Inactive, role, colour);
                break;
            case Group::Disabled:
                pal.setColor(QPalette::Disabled, role, colour);
                break;
        }
    }
    return pal;
}

Status attach(const uint8_t* bytes, int32_t length) {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app) return Status::NoApplication;
    if (QThread::currentThread() != app->thread()) return Status::WrongThread;
    if (length < 0 || (length > 0 && !bytes)) return Status::NullBytes;

    if (length == 0) {
        if (defaultLook.app == app) {
            app->setStyleSheet(defaultLook.sheet);
            QApplication::setPalette(defaultLook.palette);
        }
        return Status::Ok;
    }

    skins::tsk::Skin skin;
    const Status parsed = skins::tsk::parse({bytes, static_cast<size_t>(length)}, skin);
    if (parsed != Status::Ok) return parsed;

    noteDefaultLook(app);
    // The palette first: the style sheet's polish pass then sees the final colours, so
    // widgets are polished once with the complete look.
    QApplication::setPalette(paletteOf(skin));
    app->setStyleSheet(
        QString::fromUtf8(skin.sheet.data(), static_cast<qsizetype>(skin.sheet.size())));
    return Status::Ok;
}

}  // namespace

extern "C" int32_t TUNAROSKIN_CALL TunaroSkin_AttachRes(const uint8_t* bytes, int32_t length,
                                                        const char*, int32_t, int32_t, int32_t) {
    // Nothing may escape into the caller, which is not C++-aware at this boundary.
    try {
        return static_cast<int32_t>(attach(bytes, length));
    } catch (...) {
        return static_cast<int32_t>(Status::Failed);
    }
}

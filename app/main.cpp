// The Linux desktop program: the Qt run time, installed, runs the program.
#include "app/app.h"
#include "runtime/qt/qt_runtime.h"

int main() {
    // The command line is not looked at; the toolkit gets the program name alone.
    rt::qt::QtRuntime runtime;
    rt::install(&runtime);
    return app::programMain();
}

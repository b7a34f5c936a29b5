// The run-time error report: the program's one fatal-error path.
#include <cstdlib>

#include "app/app.h"
#include "app/clean_up.h"
#include "runtime/runtime.h"

namespace app {

std::string composeRuntimeError(int32_t code, const std::string& message) {
    std::string text = "运行时出错!\r\n\r\n";
    if (code != 0) text += "错误代码：" + std::to_string(code) + "\r\n\r\n";
    if (!message.empty()) text += "错误信息：" + message + "\r\n";
    return text;
}

void reportRuntimeError(int32_t code, const std::string& message) {
    rt::Platform& p = rt::platform();
    p.errorBox("错误", composeRuntimeError(code, message));
    cleanUpSlot = nullptr;
    p.releaseAll();
    p.exitProcess(-1);
    std::abort();  // exitProcess does not return
}

}  // namespace app

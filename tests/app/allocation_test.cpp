// The program's operator new: a failed allocation ends in the run-time error report with
// the size asked for; the nothrow forms still answer with a null pointer.
#include <gtest/gtest.h>

#include <new>

#include "app/app.h"
#include "runtime/sim/sim.h"

namespace {

TEST(Allocation, FailureIsReportedWithTheSize) {
    rt::sim::SimRuntime sim;
    rt::install(&sim);
    const std::size_t huge = std::size_t{1} << 62;
    EXPECT_EQ(::operator new(huge, std::nothrow), nullptr);
    EXPECT_EQ(::operator new[](huge, std::align_val_t{64}, std::nothrow), nullptr);
    int status = 0;
    try {
        void* p = ::operator new(huge);
        ::operator delete(p);
        ADD_FAILURE() << "an allocation of 4 EiB succeeded";
    } catch (const rt::sim::ProcessExit& e) {
        status = e.status;
    }
    EXPECT_EQ(status & 0xff, 255);
    ASSERT_EQ(sim.messageBoxes().size(), 1u);
    EXPECT_EQ(sim.messageBoxes()[0].title, "错误");
    EXPECT_EQ(sim.messageBoxes()[0].text,
              "运行时出错!\r\n\r\n错误信息：分配 4611686018427387904 字节内存失败!\r\n");
    rt::install(nullptr);
}

TEST(Allocation, OrdinaryAllocationsWork) {
    auto* aligned = new (std::align_val_t{256}) char[100];
    EXPECT_EQ(reinterpret_cast<uintptr_t>(aligned) % 256, 0u);
    ::operator delete[](aligned, std::align_val_t{256});
    std::vector<std::string> v(1000, "text that is longer than the small-string buffer");
    EXPECT_EQ(v.back().size(), 48u);
}

}  // namespace

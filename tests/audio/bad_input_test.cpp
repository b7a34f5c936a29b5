#include <gtest/gtest.h>
TEST(Player, Placeholder) {}

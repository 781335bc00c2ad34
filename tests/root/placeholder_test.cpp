#include <gtest/gtest.h>
TEST(RootPlaceholder, Builds) {}

#include "devices/text_format.h"

#include <gtest/gtest.h>

TEST(Placeholder, Builds) { EXPECT_EQ(vellumar::GroupThousands(65536), "65,536"); }

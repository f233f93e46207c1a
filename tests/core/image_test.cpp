#include "model/image.h"
#include <gtest/gtest.h>
TEST(Image, DefaultHas128Bytes) { EXPECT_EQ(lumeq::defaultImage().size(), 128u); }

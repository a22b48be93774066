#include <gtest/gtest.h>

#include "common/text.hpp"

TEST(Text, Placeholder) { EXPECT_EQ(idf::somente_numeros("1.2-3"), "123"); }

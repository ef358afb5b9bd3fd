#include "scenario/field_reader.h"

#include <gtest/gtest.h>

namespace {
TEST(FieldReader, Placeholder) { EXPECT_TRUE(true); }
}  // namespace

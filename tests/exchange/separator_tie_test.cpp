#include <gtest/gtest.h>

#include "exchange/delimited.h"

namespace {

// Semicolon files often hold commas in their texts: as many semicolons as commas is a
// semicolon file, one comma more a comma file.
TEST(SeparatorTie, AsManySemicolonsAsCommasIsASemicolonFile)
{
    EXPECT_EQ(parse_text_table("Katze;cat, the pet\n", text_separator::detect).separator, ';');
    EXPECT_EQ(parse_text_table("Katze;cat, the, pet\n", text_separator::detect).separator, ',');
}

}  // namespace

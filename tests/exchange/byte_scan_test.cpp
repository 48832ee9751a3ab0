// The scan every exported field takes, at each length around its sixteen-byte steps and with the
// byte sought at each place, so that neither the steps nor the rest after them miss one.
#include <gtest/gtest.h>

#include <string>

#include "exchange/byte_scan.h"

TEST(ByteScan, FindsEachSoughtByteAtEveryPlaceAndNothingElse)
{
    for (size_t length = 0; length <= 50; ++length) {
        std::string text(length, 'a');
        // Bytes beside the sought ones, and those with the high bit, are no match.
        for (size_t i = 0; i < length; ++i)
            text[i] = "a\x09\x0b\x0c\xe2\x80\xa6#"[i % 8];
        SCOPED_TRACE(length);
        EXPECT_FALSE(holds_any_of(text, '<', '\n', '\r', '"'));
        for (size_t at = 0; at < length; ++at)
            for (const char sought : {'<', '\n', '\r', '"'}) {
                std::string with = text;
                with[at] = sought;
                EXPECT_TRUE(holds_any_of(with, '<', '\n', '\r', '"')) << "at " << at << " byte " << int{sought};
            }
    }
}

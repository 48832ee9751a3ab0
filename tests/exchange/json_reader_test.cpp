#include <gtest/gtest.h>

#include <string>

#include "exchange/json_reader.h"

TEST(JsonReaderTest, EscapesBecomeUtf8AndBadOnesRefuseTheDocument)
{
    const auto doc = parse_json(R"({"0": "caf\u00e9 \ud83d\ude00 \uD800x", "1": [true, null, 2.5]})");
    ASSERT_TRUE(doc);
    const json_value* first = doc->member("0");
    ASSERT_NE(first, nullptr);
    // A lone surrogate stands as U+FFFD.
    EXPECT_EQ(first->text, "caf\xc3\xa9 \xf0\x9f\x98\x80 \xef\xbf\xbdx");
    EXPECT_TRUE(doc->member("1") && doc->member("1")->items.size() == 3u);

    for (const char* bad : {R"(["\u00g1"])", R"(["\u00e"])", R"(["\u-0e9"])", R"(["\u+0e9"])"})
        EXPECT_FALSE(parse_json(bad)) << bad;
    // A control character must be escaped; the first byte past them is text.
    EXPECT_FALSE(parse_json("[\"a\x1F\"]"));
    ASSERT_TRUE(parse_json("[\"a\x20\"]"));
}

// A document nests values 32 deep and no deeper, so that a hostile file cannot exhaust the stack.
TEST(JsonReaderTest, NestingEndsAtThirtyTwoLevels)
{
    const auto nested = [](size_t arrays) { return std::string(arrays, '[') + "1" + std::string(arrays, ']'); };
    EXPECT_EQ((std::vector<bool>{!!parse_json(nested(32)), !!parse_json(nested(33)), !!parse_json(nested(100000))}),
        (std::vector<bool>{true, false, false}));
}

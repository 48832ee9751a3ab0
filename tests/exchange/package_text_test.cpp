// The texts of a package: its JSON lists, and its cards' HTML as the program's markup.
#include <gtest/gtest.h>

#include <vector>

#include "exchange/html_markup.h"
#include "exchange/json_reader.h"

namespace {

std::string convert(const std::string& html, std::vector<std::string>* asked = nullptr)
{
    return html_to_markup(html, [&](const std::string& name, bool sound) -> std::optional<std::string> {
        if (asked)
            asked->push_back((sound ? "snd:" : "img:") + name);
        if (name == "missing.png")
            return std::nullopt;
        return "media/" + name;
    });
}

TEST(HtmlMarkup, KeepsTheFourFormatsAndTurnsBlocksIntoLineFeeds)
{
    EXPECT_EQ(convert("<B>bold</B> <strong>s</strong> <em>e</em> <u>u</u> <del>d</del> <strike>k</strike>"),
        "<b>bold</b> <b>s</b> <i>e</i> <u>u</u> <s>d</s> <s>k</s>");
    EXPECT_EQ(convert("<div>one</div><div>two</div><p>three</p>four<br/>five<br>"), "one\ntwo\nthree\nfour\nfive");
    EXPECT_EQ(convert("<span class=\"x\" style='color:red'>a</span><font>b</font><a href=\"u\">c</a>"), "abc");
    EXPECT_EQ(convert("a<!-- <b>hidden</b> -->b<style>p{}</style><SCRIPT>x<y</SCRIPT>c"), "abc");
}

TEST(HtmlMarkup, DecodesEntitiesWithoutLettingTextBecomeMedia)
{
    EXPECT_EQ(convert("&lt;&gt;&amp;&quot;&#39;&#x41;&#66;&nbsp;&euro;&unknown;&amp"), "<>&\"'AB \xE2\x82\xAC&unknown;&amp");
    // Text that spells a picture element stays text: the element would open a file of its choosing.
    EXPECT_EQ(convert("&lt;img&gt;/etc/x&lt;/img&gt; 3 < 4"), "\xE2\x80\xB9img>/etc/x\xE2\x80\xB9/img> 3 < 4");
    EXPECT_EQ(convert("&#0;&#x110000;"), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(HtmlMarkup, MakesPictureAndSoundElementsOfWhatThePackageHolds)
{
    std::vector<std::string> asked;
    EXPECT_EQ(convert("<img src=\"cat.jpg\"> <IMG alt=x SRC=dog.png/> [sound:miau.mp3]<img src='missing.png'>"
                      "<img src=\"a&amp;b.png\">[sound:]",
                  &asked),
        "<img>media/cat.jpg</img> <img>media/dog.png</img> <snd>media/miau.mp3</snd><img>media/a&b.png</img>");
    EXPECT_EQ(asked, (std::vector<std::string>{"img:cat.jpg", "img:dog.png", "snd:miau.mp3", "img:missing.png", "img:a&b.png"}));
    EXPECT_EQ(percent_decoded("a%20b%2"), "a b%2");
}

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

}  // namespace

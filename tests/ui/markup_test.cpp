#include <QPlainTextEdit>
#include <QTextDocument>

#include "ui/markup.h"
#include "ui_fixture.h"

namespace {

class Markup : public ui_test {};

std::vector<std::string> cut(std::string& media, std::string text, std::string* rest)
{
    std::vector<std::string> sounds = cut_media(media, text);
    *rest = text;
    return sounds;
}

}  // namespace

TEST(MarkupText, FormattingTagsAreHiddenAsTheyNest)
{
    EXPECT_EQ(strip_format_tags("a <b>word</b> here"), "a word here");
    EXPECT_EQ(strip_format_tags("</b>closing first<b>"), "</b>closing first");
    EXPECT_EQ(strip_format_tags("<b>mixed</i>"), "mixed");
    EXPECT_EQ(strip_format_tags("<b><u>x</u></b></s>"), "x</s>");
    EXPECT_EQ(strip_format_tags("<B>upper</B> <x>other</x> <i >sp"), "<B>upper</B> <x>other</x> <i >sp");
    EXPECT_EQ(strip_format_tags("<b"), "<b");
    EXPECT_EQ(strip_format_tags("<b>cut at the end</"), "cut at the end</");
    EXPECT_EQ(strip_format_tags(""), "");

    std::string text = "a\r\nb\rc\r\r\nd\n";
    remove_cr_before_lf(text);
    EXPECT_EQ(text, "a\nb\rc\r\nd\n");
    EXPECT_EQ(display_length("\nx\r\ny\n"), 8u);
    std::string path = "a\\b/c\\";
    backslashes_to_slashes(path);
    EXPECT_EQ(path, "a/b/c/");
}

TEST(MarkupText, MediaElementsAreCutPicturesFirst)
{
    std::string media;
    std::string rest;
    EXPECT_EQ(cut(media, "x<snd>1.wav</snd>y<img>p.png</img>z<snd>2.wav</snd><img>q.png</img>", &rest),
        (std::vector<std::string>{"1.wav", "2.wav"}));
    EXPECT_EQ(rest, "xyz");
    EXPECT_EQ(media, "<img>p.png</img><img>q.png</img><snd>1.wav</snd><snd>2.wav</snd>");
    EXPECT_TRUE(has_picture(media));

    // An unclosed picture stays, and so do the pictures after it; sounds are still cut.
    EXPECT_EQ(cut(media, "<img>a.png</snd>b<snd>s</snd>", &rest), std::vector<std::string>{"s"});
    EXPECT_EQ(rest, "<img>a.png</snd>b");
    EXPECT_EQ(media, "<snd>s</snd>");
    EXPECT_FALSE(has_picture(media));
    // An element runs to the first closing tag after it; the media buffer starts afresh.
    EXPECT_TRUE(cut(media, "<img>a<img>b</img>c</img>", &rest).empty());
    EXPECT_EQ(media, "<img>a<img>b</img>");
    EXPECT_EQ(rest, "c</img>");
    EXPECT_TRUE(cut(media, "<imgx></img>", &rest).empty());
    EXPECT_EQ(media, "");
    EXPECT_TRUE(cut(media, "<img></img><snd></snd>", &rest) == std::vector<std::string>{""});
    EXPECT_EQ(rest, "");
}

TEST_F(Markup, MediaPathsJoinTheDataDirectoryOfTheSettings)
{
    const std::string dir = data_dir();
    EXPECT_EQ(media_file("sub\\s.wav").value().toStdString(), dir + "sub/s.wav");
    EXPECT_EQ(media_file("/abs/dir\\s.wav").value().toStdString(), "/abs/dir/s.wav");
    EXPECT_EQ(media_file("\\abs\\s.wav").value().toStdString(), "/abs/s.wav");
    EXPECT_EQ(media_file("../up.wav").value().toStdString(), dir + "../up.wav");
    EXPECT_FALSE(media_file("C:\\x.wav"));
    EXPECT_FALSE(media_file("\\:x.wav"));
    EXPECT_FALSE(media_file(""));
    // Another computer's paths, in any spelling, are never handed on.
    for (const char* remote : {"//host/a.png", "\\\\host\\a.png", "\\/host/a.png", "/\\host\\x.png"})
        EXPECT_FALSE(media_file(remote)) << remote;
    EXPECT_FALSE(media_file("bad\xff.wav"));
    EXPECT_FALSE(media_file(std::string_view("nul\0.wav", 8)));
    EXPECT_TRUE(media_file("/" + std::string(510, 'p')));
    EXPECT_FALSE(media_file("/" + std::string(511, 'p')));
    EXPECT_NE(read_file(dir + "error.log").find("WARNING: Media path"), std::string::npos);

    // A new directory in the settings applies at once, with or without its final separator.
    ui().settings_record->pathtodatadir = QStringLiteral("/new/place");
    EXPECT_EQ(media_file("s.wav").value(), QStringLiteral("/new/place/s.wav"));
    ui().settings_record->pathtodatadir = QStringLiteral("/new/place\\");
    EXPECT_EQ(media_file("s.wav").value(), QStringLiteral("/new/place/s.wav"));
}

TEST_F(Markup, SoundsPlayInTurnAndPicturesOpenInTheViewer)
{
    std::string media;
    std::string text = "two <snd>a.wav</snd>sounds<snd>/b.wav</snd> and <snd>C:\\c.wav</snd>";
    extract_media(media, text);
    EXPECT_EQ(text, "two sounds and ");
    // Each new sound stops the one before; the drive-letter path is cut but not played.
    EXPECT_EQ(media_log(), (std::vector<std::string>{"stop", "play " + data_dir() + "a.wav", "stop", "play /b.wav"}));
    EXPECT_EQ(media, "<snd>a.wav</snd><snd>/b.wav</snd><snd>C:\\c.wav</snd>");

    media_log().clear();
    open_picture("<img>pics\\cat.png</img><img>dog.png</img>");
    open_picture("<img>C:\\cat.png</img>");
    open_picture("<img>cat.png");
    open_picture("<snd>x.png</snd>");
    // Only pictures are handed to the desktop, which would run other kinds of file.
    open_picture("<img>/usr/share/applications/evil.desktop</img>");
    open_picture("<img>run.sh</img>");
    EXPECT_EQ(media_log(), std::vector<std::string>{"open " + data_dir() + "pics/cat.png"});
    EXPECT_NE(read_file(data_dir() + "error.log").find("WARNING: Not a picture"), std::string::npos);
}

TEST_F(Markup, BoxesTakeTextsWithinTheScreenBuffer)
{
    QPlainTextEdit box;
    ASSERT_TRUE(set_box_text(&box, "\nfirst\r\nsecond\xc2\xa0nbsp"));
    EXPECT_EQ(box.document()->toRawText(), QStringLiteral("\u2029first\u2029second\u00a0nbsp"));
    EXPECT_FALSE(box.document()->isModified());
    EXPECT_EQ(get_box_text(&box).value(), "\r\nfirst\r\nsecond\xc2\xa0nbsp");

    // 8,191 bytes fit once every line feed has its carriage return, not one more.
    const std::string fits = std::string(8189, 'x') + "\n";
    EXPECT_TRUE(set_box_text(&box, fits));
    EXPECT_EQ(get_box_text(&box).value().size(), 8191u);
    EXPECT_FALSE(set_box_text(&box, "y" + fits));
    EXPECT_EQ(box.toPlainText().size(), 8190);  // untouched
    box.setPlainText(QString(8192, QLatin1Char('z')));
    EXPECT_FALSE(get_box_text(&box));
    EXPECT_EQ(box_text_length(&box), 8192u);
    EXPECT_EQ(too_long_text(QStringLiteral("The question"), 9000),
        QStringLiteral("The question is 9000 bytes long in UTF-8, counting two bytes for each line break. It may be at "
                       "most 8,191 bytes."));
}

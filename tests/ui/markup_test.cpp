
#include "ui/markup.h"
#include "ui_fixture.h"

namespace {

class Markup : public ui_test {};

}  // namespace

TEST(MarkupText, FormattingTagsAreHiddenAsTheyNestAndMediaElementsAreCutPicturesFirst)
{
    const std::pair<const char*, const char*> tags[] = {{"a <b>word</b> here", "a word here"},
        {"</b>closing first<b>", "</b>closing first"}, {"<b>mixed</i>", "mixed"}, {"<b><u>x</u></b></s>", "x</s>"},
        {"<B>upper</B> <x>other</x> <i >sp", "<B>upper</B> <x>other</x> <i >sp"}, {"<b", "<b"},
        {"<b>cut at the end</", "cut at the end</"}, {"", ""}};
    for (const auto& [source, shown] : tags)
        EXPECT_EQ(strip_format_tags(source), shown) << source;

    std::string lines = "a\r\nb\rc\r\r\nd\n";
    remove_cr_before_lf(lines);
    EXPECT_EQ(std::tuple(lines, display_length("\nx\r\ny\n")), std::tuple("a\nb\rc\r\nd\n", 8u));
    std::string path = "a\\b/c\\";
    backslashes_to_slashes(path);
    EXPECT_EQ(path, "a/b/c/");

    // A media element runs to the next closing tag; an unclosed picture stays with those after it.
    const struct {
        const char* text;
        const char* rest;
        const char* media;
        std::vector<std::string> sounds;
    } media_cases[] = {{"x<snd>1.wav</snd>y<img>p.png</img>z<snd>2.wav</snd><img>q.png</img>", "xyz",
                     "<img>p.png</img><img>q.png</img><snd>1.wav</snd><snd>2.wav</snd>", {"1.wav", "2.wav"}},
        {"<img>a.png</snd>b<snd>s</snd>", "<img>a.png</snd>b", "<snd>s</snd>", {"s"}},
        {"<img>a<img>b</img>c</img>", "c</img>", "<img>a<img>b</img>", {}}, {"<imgx></img>", "<imgx></img>", "", {}},
        {"<img></img><snd></snd>", "", "<img></img><snd></snd>", {""}}};
    std::string media = "left from before";
    for (const auto& c : media_cases) {
        std::string text = c.text;
        EXPECT_EQ(cut_media(media, text), c.sounds) << c.text;
        EXPECT_EQ(text + "|" + media, std::string(c.rest) + "|" + c.media);
        EXPECT_EQ(has_picture(media), std::string_view(c.media).starts_with("<img>")) << c.text;
    }
}

TEST_F(Markup, MediaPathsJoinTheDataDirectoryOfTheSettingsSoundsPlayInTurnAndPicturesOpenInTheViewer)
{
    const std::string dir = data_dir();
    const std::pair<std::string, std::string> cases[] = {{"sub\\s.wav", dir + "sub/s.wav"},
        {"/abs/dir\\s.wav", "/abs/dir/s.wav"}, {"\\abs\\s.wav", "/abs/s.wav"}, {"../up.wav", dir + "../up.wav"},
        {"/" + std::string(510, 'p'), "/" + std::string(510, 'p')}};
    for (const auto& [path, file] : cases)
        EXPECT_EQ(media_file(path).value_or("none").toStdString(), file);
    // Another computer's paths, in any spelling, are never handed on, nor are broken ones.
    const std::string_view refused[] = {"C:\\x.wav", "\\:x.wav", "", "//host/a.png", "\\\\host\\a.png", "\\/host/a.png",
        "/\\host\\x.png", "bad\xff.wav", std::string_view("nul\0.wav", 8)};
    for (const std::string_view path : refused)
        EXPECT_FALSE(media_file(path)) << path;
    EXPECT_FALSE(media_file("/" + std::string(511, 'p')));
    EXPECT_NE(read_file(dir + "error.log").find("WARNING: Media path"), std::string::npos);

    // A new directory applies at once, with or without its final separator.
    ui().settings_record->pathtodatadir = QStringLiteral("/new/place");
    EXPECT_EQ(media_file("s.wav").value(), QStringLiteral("/new/place/s.wav"));
    ui().settings_record->pathtodatadir = QStringLiteral("/new/place\\");
    EXPECT_EQ(media_file("s.wav").value(), QStringLiteral("/new/place/s.wav"));
    ui().settings_record->pathtodatadir = QString::fromStdString(dir);

    std::string media;
    const std::string b = dir + "b.wav";  // a path from the root
    for (const std::string& sound : {data_dir() + "a.wav", b})
        write_file(sound, "RIFF");
    std::string text = "two <snd>a.wav</snd>sounds<snd>" + b + "</snd> and <snd>C:\\c.wav</snd><snd>gone.wav</snd>";
    extract_media(media, text);
    EXPECT_EQ(text, "two sounds and ");
    // Each sound stops the one before; a drive-letter path is not played, a missing file is said.
    EXPECT_EQ(media_log(), (std::vector<std::string>{"stop", "play " + data_dir() + "a.wav", "stop", "play " + b, "stop"}));
    EXPECT_TRUE(w->statusBar()->currentMessage().contains(QStringLiteral("gone.wav cannot be played")));
    EXPECT_EQ(media, "<snd>a.wav</snd><snd>" + b + "</snd><snd>C:\\c.wav</snd><snd>gone.wav</snd>");

    media_log().clear();
    open_picture("<img>pics\\cat.png</img><img>dog.png</img>");
    open_picture("<img>C:\\cat.png</img>");
    open_picture("<img>cat.png");
    open_picture("<snd>x.png</snd>");
    // Only pictures: the desktop would run other kinds of file.
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
}

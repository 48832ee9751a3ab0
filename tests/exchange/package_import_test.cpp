// Packages built here in every form, with media, nested decks and HTML; damaged or hostile ones
// change nothing. The JSON lists and the cards' HTML as the program's markup.
#include <sys/stat.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "exchange/html_markup.h"
#include "exchange/import_leftovers.h"
#include "exchange/json_reader.h"
#include "exchange/package_import.h"
#include "platform/platform_state.h"
#include "exchange_fixture.h"
#include "tools/package_builder.h"

// Options are written with designated initializers: the fields left out keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

using row = std::tuple<std::string, std::string, std::string>;

std::vector<std::string> entries_starting(const std::string& folder, const std::string& prefix)
{
    std::vector<std::string> found;
    std::error_code ignored;
    for (const auto& e : std::filesystem::directory_iterator(folder, ignored))
        if (e.path().filename().string().starts_with(prefix))
            found.push_back(e.path().filename().string());
    std::sort(found.begin(), found.end());
    return found;
}

class PackageImport : public exchange_test {
protected:
    deck_package sample(package_form form) const
    {
        deck_package p;
        p.form = form;
        p.decks = {{1, "Default"}, {20, "Sprachen::Deutsch"}, {21, "Sprachen"}};
        p.notes = {{101, "<b>Hund</b>&nbsp;&amp; Katze\x1f" "dog<br>and cat<div>pets</div>\x1f" "extra field", 20},
            {102, "Bild <img src=\"cat.jpg\">\x1f[sound:miau.mp3]miau", 21},
            {103, "<span style=\"x\">plain</span><script>alert(1)</script>\x1f&lt;i&gt;x&lt;/i&gt; &#x263A;", 1}};
        p.media = {{"cat.jpg", std::string("\xFF\xD8picture", 9)}, {"miau.mp3", "ID3 sound"}};
        return p;
    }
};

// A note of a deck the package does not list goes to the first category, counted under no name.
TEST_F(PackageImport, ThePreviewAndTheImportReadEveryFormWithDecksHtmlAndMedia)
{
    for (const package_form form : {package_form::anki2, package_form::anki21, package_form::anki21b}) {
        SCOPED_TRACE(static_cast<int>(form));
        free_pending_list();
        std::filesystem::remove_all(dir.file("media"));
        deck_package p = sample(form);
        p.decks[20] = "Sprachen::Deutsch/";
        p.decks[22] = "Leer";
        p.notes.insert(p.notes.end(), {{104, "Maus\x1f" "mouse", 20}, {105, "x\x1fy", 99}});
        const std::string path = p.build(files.path());
        const package_contents c = read_package_contents(path);
        ASSERT_TRUE(c.read) << log_text(c.error);
        std::vector<std::pair<std::string, uint32_t>> decks;
        for (const package_deck& d : c.decks)
            decks.emplace_back(d.name, d.notes);
        EXPECT_EQ(std::tuple(c.notes, decks, pending_count()),
            std::tuple(5u, std::vector<std::pair<std::string, uint32_t>>{{"", 1}, {"Default", 1}, {"Sprachen", 1},
                {"Sprachen::Deutsch/", 2}}, 0u));

        const import_summary s = import_package(path, {});
        ASSERT_TRUE(s.done) << log_text(s.error);
        EXPECT_EQ(std::tuple(s.added, s.media_copied, problems(s)), std::tuple(5u, 2u, std::vector<std::string>{}));
        EXPECT_EQ(queue_contents(),
            (std::vector<row>{{"<b>Hund</b> & Katze", "dog\nand cat\npets", "Sprachen::Deutsch/"},
                {"Bild <img>media/cat.jpg</img>", "<snd>media/miau.mp3</snd>miau", "Sprachen"},
                {"plain", "<i>x</i> \xE2\x98\xBA", "Default"}, {"Maus", "mouse", "Sprachen::Deutsch/"}, {"x", "y", "root"}}));
        EXPECT_EQ(read_file(dir.file("media/cat.jpg")) + read_file(dir.file("media/miau.mp3")), std::string("\xFF\xD8pictureID3 sound", 18));
    }
    // The decks of three imports are one category tree.
    EXPECT_EQ(category_count(), 4u);  // root, Sprachen, Deutsch/, Default
    const package_contents broken = read_package_contents(file("broken.apkg", "PK no zip"));
    EXPECT_TRUE(!broken.read && broken.error && broken.decks.empty());
}

TEST_F(PackageImport, CarriesSchedulingOverWhenAskedAndQueuesNewCards)
{
    deck_package p;
    // The collection began 100 days before the database: its day 100 is the database's day 0.
    p.notes = {{1, "reviewed\x1f" "a", 1, 2, 112, 30, 7}, {2, "overdue\x1f" "a", 1, 2, 95, 400, 200},
        {3, "new\x1f" "a", 1, 0, 5, 0, 0}};
    go_to_day(3);
    const import_summary s = import_package(p.build(files.path()), {.keep_scheduling = true});
    ASSERT_TRUE(s.done) << log_text(s.error);
    ASSERT_EQ(std::pair(s.added, db().item_count), std::pair(3u, 2u));
    using schedule = std::tuple<std::string, uint16_t, uint16_t, uint16_t, uint16_t, uint16_t>;
    std::vector<schedule> items;
    for (const item* e : scheduled_items())
        items.emplace_back(e->question.str(), e->tmtrpt, e->stmtrpt, e->ivl, e->rp, e->gr);
    // The overdue card was due on collection day 95, before the database's first day.
    EXPECT_EQ(items, (std::vector<schedule>{{"overdue", 0, 0, 400, 127, 4}, {"reviewed", 12, 12, 30, 7, 4}}));
    EXPECT_EQ(queue_contents(), (std::vector<row>{{"new", "a", "Default"}}));
}

TEST_F(PackageImport, KeepsMediaOfTheSameNameApartAndCopiesOnlyWhatKeptItemsName)
{
    ASSERT_EQ(::mkdir(dir.file("media").c_str(), 0755), 0);
    write_file(dir.file("media/cat.jpg"), "another picture");
    deck_package p = sample(package_form::anki2);
    p.media["unused.png"] = "nobody names me";
    p.notes.push_back({104, "too short, no answer <img src=\"only-here.png\">", 1});
    p.media["only-here.png"] = "x";
    const import_summary s = import_package(p.build(files.path()), {});
    ASSERT_TRUE(s.done) << log_text(s.error);
    EXPECT_EQ(s.media_copied, 2u);
    EXPECT_EQ(std::pair(read_file(dir.file("media/cat.jpg")), read_file(dir.file("media/cat-2.jpg"))),
        std::pair(std::string("another picture"), std::string("\xFF\xD8picture", 9)));
    EXPECT_FALSE(file_exists(dir.file("media/unused.png")) || file_exists(dir.file("media/only-here.png")));
    EXPECT_EQ(std::get<0>(queue_contents()[1]), "Bild <img>media/cat-2.jpg</img>");

    const import_summary again = import_package(p.build(files.path()), {});
    EXPECT_EQ(std::tuple(again.added, again.duplicates, again.media_copied), std::tuple(0u, 3u, 0u));

    // Names of the import's journal or of temporary files are changed: the next start removes those.
    remove_import_leftovers(init_status::from_bin);
    const deck_package reserved{.notes = {{105, "<img src=\"import.journal\"><img src=\"b.tmp-Ab12Cd\">\x1f" "a"}},
        .media = {{"import.journal", "picture"}, {"b.tmp-Ab12Cd", "second"}}};
    ASSERT_TRUE(import_package(reserved.build(files.path()), {}).done);
    remove_import_leftovers(init_status::from_bin);
    EXPECT_EQ(std::tuple(std::get<0>(queue_contents().back()), read_file(dir.file("media/import-2.journal")),
                  read_file(dir.file("media/b.tmp-Ab12Cd-2"))),
        std::tuple("<img>media/import-2.journal</img><img>media/b.tmp-Ab12Cd-2</img>", "picture", "second"));
}

TEST_F(PackageImport, AKillAtAnyPointLeavesNothingBehindOnceTheProgramHasStartedAgain)
{
    const std::string tmp = files.path() + "tmp/";
    std::filesystem::create_directory(tmp);
    const std::optional<std::string> old_tmpdir =
        std::getenv("TMPDIR") ? std::optional<std::string>(std::getenv("TMPDIR")) : std::nullopt;
    ::setenv("TMPDIR", tmp.c_str(), 1);
    // What a copy by an earlier version, killed, left: an atomic file's temporary.
    std::filesystem::create_directory(dir.file("media"));
    write_file(dir.file("media/cat.jpg.tmp-Ab12Cd"), "cut short");
    remove_import_leftovers(init_status::new_database);
    EXPECT_FALSE(file_exists(dir.file("media/cat.jpg.tmp-Ab12Cd")));

    const std::string package = sample(package_form::anki21).build(files.path());
    int killed = 0;
    for (int at = 1; at < 200; ++at) {
        const int code = run_in_child([&] {
            kill_at_file_operation(at - 1);  // as a power cut or a kill would
            const import_summary s = import_package(package, {});
            return s.done && ma_deinit(close_mode::complete) == deinit_status::done ? 0 : 1;
        });
        ma_discard();
        const init_status opened = ma_init(dir.path().c_str());
        remove_import_leftovers(opened);
        SCOPED_TRACE("killed at file operation " + std::to_string(at));
        EXPECT_TRUE(entries_starting(tmp, scratch_prefix).empty() && entries_starting(dir.path(), scratch_prefix).empty()
            && entries_starting(dir.file("media"), media_temporary_prefix).empty());
        // Pictures are there exactly for the items that came through.
        const bool saved = pending_count() == 3;
        EXPECT_EQ(std::tuple(file_exists(dir.file("media/cat.jpg")), file_exists(dir.file("media/miau.mp3"))),
            std::tuple(saved, saved));
        if (code == 0)
            break;
        EXPECT_EQ(code, -1);
        ++killed;
        ma_discard();
        std::filesystem::remove_all(dir.path());
        std::filesystem::create_directory(dir.path());
        ASSERT_EQ(ma_init(dir.path().c_str()), init_status::new_database);
    }
    EXPECT_GT(killed, 10);
    static_cast<void>(old_tmpdir ? ::setenv("TMPDIR", old_tmpdir->c_str(), 1) : ::unsetenv("TMPDIR"));
}

// Media the import cannot take are left out of their note, each named; the note comes.
TEST_F(PackageImport, MediaItCannotTakeAreLeftOutOfTheirNoteWhichComesWithTheRest)
{
    deck_package p;
    p.notes = {{1, "five <img src=\"a.png\"><img src=\"../../escape.png\"><img src=\"c.png\"><img src=\"absent.png\">"
                   "<img src=\"e.png\">\x1f" "back", 1},
        {2, "[sound:/etc/passwd]q2\x1f" "a", 1}};
    p.media = {{"a.png", std::string(200000, 'a')}, {"../../escape.png", "evil"}, {"/etc/passwd", "evil"},
        {"c.png", "small c"}, {"e.png", std::string(200000, 'e')}};
    const import_summary s = import_package(p.build(files.path()), {.limits = {.max_entry_bytes = 131072}});
    ASSERT_TRUE(s.done) << log_text(s.error);
    EXPECT_EQ(std::tuple(s.added, s.media_copied, std::get<0>(queue_contents()[0]), std::get<0>(queue_contents()[1])),
        std::tuple(2u, 1u, "five <img>media/c.png</img>", "q2"));
    EXPECT_EQ(problems(s), (std::vector<std::string>{"media_too_large at note 1 (picture) \"a.png\" size 200000 limit 131072",
                               "media_name_escapes at note 1 (picture) \"../../escape.png\"",
                               "media_missing at note 1 (picture) \"absent.png\"",
                               "media_too_large at note 1 (picture) \"e.png\" size 200000 limit 131072",
                               "media_name_escapes at note 2 (sound) \"/etc/passwd\""}));
    EXPECT_EQ(entries_starting(dir.file("media"), ""), (std::vector<std::string>{"c.png", "import.journal"}));
    EXPECT_FALSE(file_exists(dir.path() + "../escape.png"));
}

TEST_F(PackageImport, DamagedAndHostilePackagesChangeNothing)
{
    add_test_pending(0, "mine", "kept");
    const auto refused = [&](const std::string& path, const package_import_options& options = {}) {
        const import_summary s = import_package(path, options);
        EXPECT_EQ(std::tuple(s.done, s.added, pending_count(), category_count(), file_exists(dir.file("media"))),
            std::tuple(false, 0u, 1u, 1u, false));
        return s.error.code;
    };
    EXPECT_EQ(refused(file("plain.apkg", "just text")), exchange_problem_code::not_a_package);

    const std::string good = sample(package_form::anki21b).build(files.path());
    const std::string bytes = read_file(good);
    EXPECT_EQ(refused(file("cut.apkg", bytes.substr(0, bytes.size() / 2))), exchange_problem_code::not_a_package);

    // A zip bomb: the collection unpacks past the limit given.
    EXPECT_EQ(refused(good, {.limits = {.max_total_bytes = 4096}}), exchange_problem_code::package_too_large);
    EXPECT_EQ(refused(good, {.limits = {.max_entries = 3}}), exchange_problem_code::too_many_files);

    std::string path = deck_package{}.build(files.path());
    {
        zip_t* z = zip_open(path.c_str(), 0, nullptr);
        zip_delete(z, zip_name_locate(z, "collection.anki2", 0));
        zip_close(z);
    }
    EXPECT_EQ(refused(path), exchange_problem_code::no_collection);

    const deck_package garbage{.extra_entries = {{"collection.anki21", std::string(8192, '\x5A')}}};
    EXPECT_EQ(refused(garbage.build(files.path())), exchange_problem_code::collection_unknown);
    deck_package bad_map = sample(package_form::anki2);
    bad_map.media_as_protobuf = true;
    bad_map.extra_entries = {{"media", "\x0a\xff\xff\xff\x0f"}};
    EXPECT_EQ(refused(bad_map.build(files.path())), exchange_problem_code::media_list_damaged);
}

TEST_F(PackageImport, PicturesStreamBeyondTheUnpackTotalAndStopAtTheFreeSpace)
{
    // The free space bounds what streams into media/, not the unpack total; the fourth picture is
    // a small zstd frame that unpacks to 48 MiB, whatever size its entry claims.
    deck_package p;
    p.notes = {{1, "q <img src=\"a.png\"><img src=\"b.png\"><img src=\"c.png\">\x1f" "a <img src=\"z.png\">", 1}};
    for (const char* name : {"a.png", "b.png", "c.png"})
        p.media[name] = std::string(200000, name[0]);
    p.media["z.png"] = zstd_packed(std::string(size_t{48} << 20, '\0'));
    const std::string package = p.build(files.path());
    ASSERT_GT(free_bytes(dir.path()), uint64_t{64} << 20);
    // The disk is shared with other programs: it reports a fixed free space from here on.
    constexpr uint64_t room = uint64_t{1} << 40;
    platform_globals().free_bytes_override = room;
    struct room_case {
        const char* what;
        uint64_t keep_free;
        std::vector<std::string> copied;  // the media folder afterwards
        std::string question;  // of the one note, which comes in every case
        size_t problems;  // pictures left out, each named
    };
    const std::vector<room_case> cases = {
        // 600 KB of pictures against a total of 256 KiB: the total bounds the collection alone.
        {"room enough", 0, {"a.png", "b.png", "c.png", "import.journal", "z.png"},
            "q <img>media/a.png</img><img>media/b.png</img><img>media/c.png</img>", 0},
        // 16 MiB left to fill: the small pictures fit, the one that unpacks to 48 MiB stops there.
        {"the frame outgrows the room", room - (uint64_t{16} << 20), {"a.png", "b.png", "c.png", "import.journal"},
            "q <img>media/a.png</img><img>media/b.png</img><img>media/c.png</img>", 1},
        {"no room at all", room, {}, "q", 4},
    };
    for (const room_case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(dir.file("media"));
        free_pending_list();
        const import_summary s = import_package(package, {.limits = {.max_total_bytes = 256 << 10}, .keep_free = c.keep_free});
        ASSERT_TRUE(s.done) << log_text(s.error);
        EXPECT_EQ(std::tuple(s.added, std::get<0>(queue_contents().at(0)), entries_starting(dir.file("media"), "")), std::tuple(1u, c.question, c.copied));
        ASSERT_EQ(s.problems.size(), c.problems);
        for (const exchange_problem& problem : s.problems)
            EXPECT_TRUE(problem.place == item_place::note && problem.place_number == 1) << log_text(problem);
    }
}

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

// Entities are text, even those that spell a picture element, which would open a file of their choosing.
TEST(HtmlMarkup, KeepsTheFourFormatsTurnsBlocksIntoLineFeedsAndDecodesEntitiesAsText)
{
    const std::pair<const char*, const char*> cases[] = {
        {"<B>bold</B> <strong>s</strong> <em>e</em> <u>u</u> <del>d</del> <strike>k</strike>",
            "<b>bold</b> <b>s</b> <i>e</i> <u>u</u> <s>d</s> <s>k</s>"},
        {"<div>one</div><div>two</div><p>three</p>four<br/>five<br>", "one\ntwo\nthree\nfour\nfive"},
        {"line\r\nbreak\rin [the] source\x01", "line\nbreakin [the] source"},
        {"<span class=\"x\" style='color:red'>a</span><font>b</font><a href=\"u\">c</a>", "abc"},
        {"a<!-- <b>hidden</b> -->b<style>p{}</style><SCRIPT>x<y</SCRIPT>c", "abc"},
        {"&lt;&gt;&amp;&quot;&#39;&#x41;&#66;&nbsp;&euro;&unknown;&amp", "<>&\"'AB \xE2\x82\xAC&unknown;&amp"},
        {"&lt;img&gt;/etc/x&lt;/img&gt; 3 < 4", "\xE2\x80\xB9img>/etc/x\xE2\x80\xB9/img> 3 < 4"},
        {"&#0;&#x110000;", "\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const auto& [html, markup] : cases)
        EXPECT_EQ(convert(html), markup) << html;
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

// Nesting past 32 levels is refused: a hostile file could exhaust the stack.
TEST(JsonReaderTest, EscapesBecomeUtf8AndBadOrTooDeepDocumentsAreRefused)
{
    const auto doc = parse_json(R"({"0": "caf\u00e9 \ud83d\ude00 \uD800x", "1": [true, null, 2.5]})");
    ASSERT_TRUE(doc && doc->member("0") && doc->member("1"));
    EXPECT_EQ(std::pair(doc->member("0")->text, doc->member("1")->items.size()),
        std::pair(std::string("caf\xc3\xa9 \xf0\x9f\x98\x80 \xef\xbf\xbdx"), size_t{3}));

    const auto nested = [](size_t arrays) { return std::string(arrays, '[') + "1" + std::string(arrays, ']'); };
    for (const auto& [text, parses] : {std::pair{std::string(R"(["\u00g1"])"), false}, {R"(["\u00e"])", false},
             {R"(["\u-0e9"])", false}, {R"(["\u+0e9"])", false}, {"[\"a\x1F\"]", false}, {"[\"a\x20\"]", true},
             {nested(32), true}, {nested(33), false}, {nested(100000), false}})
        EXPECT_EQ(!!parse_json(text), parses) << text.substr(0, 40);
}

}  // namespace

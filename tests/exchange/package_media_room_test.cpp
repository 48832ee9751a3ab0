// What bounds the pictures a package streams into media/: the free space of the data
// directory's disk, not the total that bounds what is unpacked into memory or scratch.
#include <filesystem>

#include "exchange/import_leftovers.h"
#include "exchange/package_import.h"
#include "platform/platform_state.h"
#include "exchange_fixture.h"
#include "package_builder.h"

namespace {

class PackageMediaRoom : public exchange_test {
protected:
    // One note naming three pictures of 200,000 bytes, and a fourth whose zip entry is a small
    // zstd frame that unpacks to 48 MiB: its claimed size says nothing of what it becomes.
    std::string package() const
    {
        test_package p;
        p.notes = {{1, "q <img src=\"a.png\"><img src=\"b.png\"><img src=\"c.png\">\x1f" "a <img src=\"z.png\">", 1}};
        for (const char* name : {"a.png", "b.png", "c.png"})
            p.media[name] = std::string(200000, name[0]);
        p.media["z.png"] = zstd_packed(std::string(size_t{48} << 20, '\0'));
        return p.build(files.path());
    }
    std::vector<std::string> media_files() const
    {
        std::vector<std::string> names;
        std::error_code ignored;
        for (const auto& e : std::filesystem::directory_iterator(dir.file("media"), ignored))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(PackageMediaRoom, PicturesStreamBeyondTheUnpackTotalAndStopAtTheFreeSpace)
{
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
        package_import_options options;
        options.limits.max_total_bytes = 256 << 10;
        options.keep_free = c.keep_free;
        const import_summary s = import_package(package(), options);
        ASSERT_TRUE(s.done) << log_text(s.error);
        EXPECT_EQ(std::tuple(s.added, std::get<0>(queue_contents().at(0)), media_files()), std::tuple(1u, c.question, c.copied));
        ASSERT_EQ(s.problems.size(), c.problems);
        for (const exchange_problem& problem : s.problems)
            EXPECT_TRUE(problem.place == item_place::note && problem.place_number == 1) << log_text(problem);
    }
}

}  // namespace

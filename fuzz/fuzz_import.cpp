#include "fuzz/fuzz_import.h"
#include "fuzz/fuzz_open.h"

#include <unistd.h>
#include <zip.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <tuple>
#include <string>

#include "ann/ann_files.h"
#include "calendar/calendar.h"
#include "database/database.h"
#include "exchange/export.h"
#include "exchange/import_leftovers.h"
#include "exchange/media_map.h"
#include "exchange/package_import.h"
#include "exchange/text_import.h"
#include "platform/files.h"
#include "platform/platform_state.h"
#include "session/lifecycle.h"

namespace {

const std::string& import_dir()
{
    // Made again each time: an open harness run in the same process empties fuzz_dir().
    static const std::string dir = fuzz_dir() + "import/";
    std::error_code ignored;
    std::filesystem::create_directory(dir, ignored);
    // The imports' scratch folders go into a temporary folder of the harness's own: the check
    // that none is left listed the machine's /tmp at every run, most of a run's time.
    static const std::string scratch = fuzz_dir() + "tmp/";
    std::filesystem::create_directory(scratch, ignored);
    static const bool set = ::setenv("TMPDIR", scratch.c_str(), 1) == 0;
    static_cast<void>(set);
    return dir;
}

void write_bytes(const std::string& path, const uint8_t* data, size_t size)
{
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
}

// A package whose collection entry holds the fuzzer's bytes, so that they reach SQLite.
void write_package_around(const std::string& path, const uint8_t* data, size_t size)
{
    int error = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!z)
        return;
    static const char media[] = "{\"0\": \"a.png\"}";
    // Stored, not deflated: a deflater's state made and zeroed three times was a quarter of a run.
    for (const auto& [name, bytes, length] : {std::tuple<const char*, const void*, size_t>{"collection.anki21", data, size},
             {"media", media, sizeof media - 1}, {"0", "png", 3}}) {
        const zip_int64_t at = zip_file_add(z, name, zip_source_buffer(z, bytes, length, 0), ZIP_FL_OVERWRITE);
        if (at >= 0)
            zip_set_file_compression(z, static_cast<zip_uint64_t>(at), ZIP_CM_STORE, 0);
    }
    zip_close(z);
}

// An item as a restart must give it back: where it waits, its category's path and its texts.
using kept_item = std::tuple<bool, std::string, std::string, std::string>;

std::multiset<kept_item> everything()
{
    std::multiset<kept_item> all;
    for (const pending_item* p = db().pending_head; p; p = p->next)
        all.emplace(false, category_path_text(p->ctgr), p->question, p->answer);
    for (const item* e = db().head; e; e = e->next)
        all.emplace(true, category_path_text(e->ctgr), e->question.str(), e->answer.str());
    return all;
}

size_t item_total() { return db().item_count + db().pending_count; }

// A finding: the summary and the database disagree.
void check(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "import round trip: %s\n", what);
        std::abort();
    }
}

// Every item the summary counted was added, and the database, saved and opened again, holds
// each of them with the importer's texts; the XML export, read back, holds the schedule.
// A finished import leaves no scratch folder of this process and no temporary name in media/.
void check_nothing_left(const std::string& data_dir)
{
    const std::string own = scratch_prefix + std::to_string(::getpid()) + "-";
    std::error_code ignored;
    for (const std::string& folder : {temporary_folder(), data_dir})
        for (const auto& e : std::filesystem::directory_iterator(folder, ignored))
            check(!e.path().filename().string().starts_with(own), "an import left its scratch folder");
    for (const auto& e : std::filesystem::directory_iterator(data_dir + "media", ignored))
        check(!e.path().filename().string().starts_with(media_temporary_prefix), "an import left a temporary file in media/");
}

void check_round_trip(const std::string& dir, const std::string& data_dir)
{
    check_nothing_left(data_dir);
    const std::multiset<kept_item> before = everything();
    std::multiset<kept_item> scheduled;
    for (const kept_item& k : before)
        if (std::get<0>(k))
            scheduled.insert(k);
    const std::string xml_dir = dir + "xml/";
    std::error_code ignored;
    std::filesystem::create_directory(xml_dir, ignored);
    const bool exported = export_xml(xml_dir + "elements.xml").done;
    export_text_file(dir + "out.txt", true);
    check(ma_deinit(close_mode::complete) == deinit_status::done, "the save failed");
    check(ma_init(data_dir.c_str()) == init_status::from_bin, "the saved database cannot be read");
    check(everything() == before, "the reopened database differs from the one saved");
    check(ma_deinit(close_mode::complete) == deinit_status::done, "the reopened database cannot be saved");
    if (exported) {
        check(ma_init(xml_dir.c_str()) == init_status::bin_not_read, "the XML export cannot be read");
        check(everything() == scheduled, "the XML export does not read back as the schedule it was written from");
        check(ma_deinit(close_mode::complete) == deinit_status::done, "the database read from XML cannot be saved");
    }
}

}  // namespace

bool is_import_file(const std::string& file_name)
{
    return file_name == "cards.csv" || file_name == "deck.apkg" || file_name == "collection.anki21" ||
           file_name == "media";
}

int fuzz_import_file(const char* file_name, const uint8_t* data, size_t size)
{
    const std::string name = file_name;
    if (name == "media") {
        parse_media_map(std::string(reinterpret_cast<const char*>(data), size));
        return 0;
    }
    const std::string& dir = import_dir();
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ignored))
        std::filesystem::remove_all(entry.path(), ignored);
    const std::string data_dir = dir + "data/";
    std::filesystem::create_directory(data_dir, ignored);

    platform_reset();
    platform_globals().fixed_local_time = SYSTEMTIME{2026, 6, 0, 15, 12, 0, 0, 0};
    calendar_reset();
    platform_globals().sync_to_storage = false;
    check(ma_init(data_dir.c_str()) == init_status::new_database, "a new database cannot be opened");
    ma_nn_init();

    const std::string input = dir + name;
    if (name == "cards.csv") {
        write_bytes(input, data, size);
        text_import_options options;
        options.header_row = size > 0 && data[0] == 'H';
        options.columns = column_mapping{0, 1, 2};
        for (const import_target target : {import_target::queue, import_target::learning}) {
            options.target = target;
            const size_t had = item_total();
            const import_summary s = import_text_file(input, options);
            check(item_total() == had + s.added, "the summary's count is not what was added");
            options.columns.reset();
        }
    } else {
        if (name == "deck.apkg")
            write_bytes(input, data, size);
        else
            write_package_around(input, data, size);
        package_import_options options;
        options.keep_scheduling = size > 0 && (data[size - 1] & 1);
        options.limits.max_total_bytes = 64 << 20;
        const size_t had = item_total();
        const import_summary s = import_package(input, options);
        check(item_total() == had + s.added, "the summary's count is not what was added");
    }
    check_round_trip(dir, data_dir);
    return 0;
}

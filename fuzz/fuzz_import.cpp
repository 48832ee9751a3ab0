#include "fuzz/fuzz_import.h"

#include <zip.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "ann/ann_files.h"
#include "calendar/calendar.h"
#include "exchange/export.h"
#include "exchange/media_map.h"
#include "exchange/package_import.h"
#include "exchange/text_import.h"
#include "platform/files.h"
#include "platform/platform_state.h"
#include "session/lifecycle.h"

namespace {

const std::string& import_dir()
{
    static const std::string dir = make_temp_directory("cardwright-fuzz-import");
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
    zip_source_t* s = zip_source_buffer(z, data, size, 0);
    zip_file_add(z, "collection.anki21", s, ZIP_FL_OVERWRITE);
    static const char media[] = "{\"0\": \"a.png\"}";
    zip_file_add(z, "media", zip_source_buffer(z, media, sizeof media - 1, 0), ZIP_FL_OVERWRITE);
    zip_file_add(z, "0", zip_source_buffer(z, "png", 3, 0), ZIP_FL_OVERWRITE);
    zip_close(z);
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
    ma_init(data_dir.c_str());
    ma_nn_init();

    const std::string input = dir + name;
    if (name == "cards.csv") {
        write_bytes(input, data, size);
        text_import_options options;
        options.header_row = size > 0 && data[0] == 'H';
        options.columns = column_mapping{0, 1, 2};
        import_text_file(input, options);
        options.columns.reset();
        options.target = import_target::learning;
        import_text_file(input, options);
    } else {
        if (name == "deck.apkg")
            write_bytes(input, data, size);
        else
            write_package_around(input, data, size);
        package_import_options options;
        options.keep_scheduling = size > 0 && (data[size - 1] & 1);
        options.limits.max_total_bytes = 64 << 20;
        import_package(input, options);
    }
    // What the import made must export and close.
    export_xml(dir + "out.xml");
    export_text_file(dir + "out.txt", true);
    ma_deinit(0);
    return 0;
}

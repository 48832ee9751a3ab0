// Any bytes as another computer's change log, whole and cut at a point the input chooses:
// what is read must be written back to the same records, and a cut read must continue where
// it ended without losing or repeating a record. Then as this computer's own log (its records in
// order), with a service putting a version in its place after an append: the input again (an
// older version), or the input with another record under the appended one's number (a copy of
// this system writing under its id). The writer must write again what it lost, or stop and
// leave the other's file as it is.
#include "formats/change_log.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

[[noreturn]] void lost(const char* what)
{
    std::fprintf(stderr, "round trip lost %s\n", what);
    std::abort();
}

std::string read_all(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// As a sync service does: a new file renamed over the old.
void put_in_place(const std::string& path, std::string_view bytes)
{
    std::ofstream(path + ".tmp", std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    std::rename((path + ".tmp").c_str(), path.c_str());
}

void as_own_log(std::string_view input, const change_log_read& whole, bool copy_writes)
{
    for (size_t i = 0; i < whole.records.size(); ++i)
        if (whole.records[i].sequence <= (i == 0 ? 0 : whole.records[i - 1].sequence))
            return;  // not a log its own writer left
    char dir[] = "/tmp/fuzz_change_log_XXXXXX";
    if (!mkdtemp(dir))
        return;
    const std::string path = std::string(dir) + "/log";
    const std::string_view had = input.substr(0, whole.end);
    put_in_place(path, had);
    change_log_writer w(path, whole.computer);
    change_record mine;
    mine.kind = change_kind::undo;
    if (w.append(mine, 1).status == change_append_status::appended) {
        if (w.print_of(mine.sequence) != record_print(read_all(path), mine.sequence))
            lost("the print of the record appended");
        std::string put(had);
        if (copy_writes) {
            change_record theirs = mine;
            theirs.kind = change_kind::make_due;
            put += encode_change(theirs);
        }
        put_in_place(path, put);
        change_record next = mine;
        const change_append_status status = w.append(next, 2).status;
        const change_log_read now = read_change_log(read_all(path));
        if (copy_writes && (status != change_append_status::another_writer || read_all(path) != put))
            lost("the file of a copy writing under the same id");
        if (!copy_writes) {
            size_t found = 0;
            for (const change_record& r : now.records)
                found += (r.sequence == mine.sequence && r == mine) + (r.sequence == next.sequence && r == next);
            if (status != change_append_status::appended || found != 2)
                lost("a record the older version lacked");
        }
    }
    unlink(path.c_str());
    unlink((path + ".tmp").c_str());
    rmdir(dir);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const change_log_read whole = read_change_log(bytes);
    if (whole.status == change_log_status::no_header || whole.status == change_log_status::bad_header)
        return 0;

    std::string again(bytes.substr(0, change_log_header_size));
    for (const change_record& r : whole.records)
        again += encode_change(r);
    const change_log_read back = read_change_log(again);
    if (back.status != change_log_status::ok || back.records != whole.records || back.end != again.size())
        lost("records written back");

    const size_t cut = size > 0 ? data[size - 1] * size / 256 : 0;
    const change_log_read first = read_change_log(bytes.substr(0, cut));
    const change_log_read rest = read_change_log(bytes, first.end);
    std::vector<change_record> joined = first.records;
    joined.insert(joined.end(), rest.records.begin(), rest.records.end());
    if (joined != whole.records || rest.end != whole.end)
        lost("records of a log read in two pieces");
    as_own_log(bytes, whole, size > 0 && (data[0] & 1) != 0);
    return 0;
}

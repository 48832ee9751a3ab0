// Any bytes as another computer's change log, whole and cut at a point the input chooses:
// what is read must be written back to the same records, and a cut read must continue where
// it ended without losing or repeating a record.
#include "formats/change_log.h"

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void lost(const char* what)
{
    std::fprintf(stderr, "round trip lost %s\n", what);
    std::abort();
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
    return 0;
}

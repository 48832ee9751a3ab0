// An export the disk refuses part of the way: the error says why, and the file there stays.
#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "exchange_fixture.h"

namespace {

class ExportFailure : public exchange_test {};

TEST_F(ExportFailure, AWriteRefusedAfterTheFirstChunksEndsWithItsReasonAndKeepsTheOldFile)
{
    // Some mebibytes, so that chunks reach the file before the limit stops one.
    for (int i = 0; i < 40000; ++i)
        add_test_item(0, 0, 1, "question " + std::to_string(i), std::string(60, 'a'));
    const std::string path = file("out.export", "the export before\n");
    for (const bool xml : {false, true}) {
        // A limit on the size of the files the child writes: a write past it fails with EFBIG,
        // as on a full disk.
        const int code = run_in_child([&] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{size_t{3} << 19, size_t{3} << 19};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                return 99;
            const export_result r = xml ? export_xml(path) : export_text_file(path, false);
            return !r.done && r.error.code == exchange_problem_code::cannot_write && r.error.os_error == EFBIG ? 0 : 1;
        });
        EXPECT_EQ(code, 0) << xml;
        EXPECT_EQ(read_file(path), "the export before\n");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(files.path()), {}), 1) << "a temporary file was left";
    }
}

}  // namespace

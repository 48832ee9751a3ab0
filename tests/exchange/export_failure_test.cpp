// An export the disk refuses part of the way: the error says why, and the file there stays.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <filesystem>

#include "exchange/export.h"
#include "exchange_fixture.h"

namespace {

// A limit on the size of the files this process writes, lifted again at the end: a write past
// it fails with EFBIG, as on a full disk, instead of ending the process.
class file_size_limit {
public:
    explicit file_size_limit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &before_);
        rlimit limited = before_;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~file_size_limit()
    {
        ::setrlimit(RLIMIT_FSIZE, &before_);
        std::signal(SIGXFSZ, SIG_DFL);
    }
    file_size_limit(const file_size_limit&) = delete;
    file_size_limit& operator=(const file_size_limit&) = delete;

private:
    rlimit before_ {};
};

class ExportFailure : public exchange_test {};

TEST_F(ExportFailure, AWriteRefusedAfterTheFirstChunksEndsWithItsReasonAndKeepsTheOldFile)
{
    // Some mebibytes, so that chunks reach the file before the limit stops one.
    for (int i = 0; i < 40000; ++i)
        add_test_item(0, 0, 1, "question " + std::to_string(i), std::string(60, 'a'));
    const std::string path = file("out.export", "the export before\n");
    for (const bool xml : {false, true}) {
        export_result r;
        {
            const file_size_limit limit(size_t{3} << 19);
            r = xml ? export_xml(path) : export_text_file(path, false);
        }
        EXPECT_FALSE(r.done) << xml;
        EXPECT_EQ(r.error.code, exchange_problem_code::cannot_write) << xml;
        EXPECT_EQ(r.error.os_error, EFBIG) << xml;
        EXPECT_EQ(read_file(path), "the export before\n");
        const auto entries = std::distance(std::filesystem::directory_iterator(files.path()), {});
        EXPECT_EQ(entries, 1) << "a temporary file was left";
    }
}

}  // namespace

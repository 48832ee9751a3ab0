#include <string>

#include "formats/queue.h"
#include "formats_fixture.h"

namespace {

using QueueLimitTest = formats_test;

// The limit holds for a text of whole lines too: one that reaches it exactly at a line's end is
// kept, one byte more and the item is dropped.
TEST_F(QueueLimitTest, ATextEndingAtTheLimitOnALineOfItsOwnIsKept)
{
    const std::string path = dir.file("queue.txt");
    const std::string lines = "<q>" + std::string(4000, 'f') + "\n" + std::string(4189, 'f') + "\n";
    write_file(path, lines + "</q>\n<a>fits</a>\n" + lines + "f\n</q>\n<a>over</a>\n");
    ASSERT_EQ(add_queue_from_file(path.c_str(), 0), 1u);
    EXPECT_EQ(pending()[0]->question.size(), queue_text_limit);
    EXPECT_EQ(pending()[0]->answer, "fits");
}

}  // namespace

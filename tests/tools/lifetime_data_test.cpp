// The lifetime collection, made small, opens as the program opens it and holds what it promises.
#include "ann/ann_files.h"
#include "database/database.h"
#include "lifetime_data.h"
#include "platform/utf.h"
#include "session/lifecycle.h"
#include "session/review_log.h"
#include "support/test_support.h"

TEST(LifetimeData, ASmallCollectionOpensWithEverythingItPromises)
{
    temp_dir dir;
    const lifetime_counts counts = lifetime_scaled(10'000);
    ASSERT_EQ(counts.items, 100u);
    ASSERT_TRUE(make_lifetime_directory(dir.path(), counts));

    ASSERT_EQ(ma_init(dir.path().c_str()), init_status::from_bin);
    ma_nn_init();
    EXPECT_EQ(std::tuple(db().item_count, pending_count()), std::tuple(counts.items, counts.queued));
    EXPECT_GE(category_count(), lifetime_categories);
    size_t multibyte = 0;
    for (const item* e = db().head; e; e = e->next) {
        for (const std::string_view text : {std::string_view(e->question), std::string_view(e->answer)}) {
            EXPECT_GE(text.size(), 20u);
            EXPECT_LE(text.size(), 80u);
            std::u16string wide;
            EXPECT_TRUE(utf8_to_utf16(text, &wide)) << text;
            multibyte += wide.size() < text.size();
        }
        EXPECT_GE(e->tmtrpt, e->ivl);
    }
    EXPECT_GT(multibyte, counts.items);
    const review_history log = read_review_log(dir.file(review_log_name));
    EXPECT_EQ(log.records.size(), counts.log_records);
    EXPECT_EQ(log.damaged + log.partial_bytes, 0u);
    EXPECT_EQ(read_file(dir.file("user_cases.bin")).size(), counts.cases * case_record_size);
    ma_discard();
    EXPECT_EQ(read_file(dir.file("error.log")).find("damaged"), std::string::npos);
}

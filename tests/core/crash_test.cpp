#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <set>
#include <string>

#include "ann/ann_files.h"
#include "ann/network.h"
#include "core/core_test_helpers.h"
#include "core/grading.h"

namespace fs = std::filesystem;

namespace {

const char* const saved_files[] = {"elements.bin", "queue.txt", "weights.bin"};

// Everything the user has: the questions of scheduled and pending items.
std::multiset<std::string> questions()
{
    std::multiset<std::string> all;
    for (const item* e = db().head; e; e = e->next)
        all.insert(e->question);
    for (const pending_item* p = db().pending_head; p; p = p->next)
        all.insert(p->question);
    return all;
}

void build_old_state(const std::string& dir, int items)
{
    ASSERT_EQ(ma_init(dir.c_str()), MA_INIT_NEW_DATABASE);
    ma_nn_init();
    const uint16_t sub = add_category("Sub", -1);
    for (int i = 0; i < items; ++i)
        add_test_item(static_cast<uint16_t>(i % 30), i % 2 ? sub : 0, 1, "old " + std::to_string(i), "answer");
    for (int i = 0; i < 4; ++i)
        add_test_pending(sub, "queued " + std::to_string(i));
    ASSERT_EQ(ma_deinit(0), 0);
}

// One session of changes: two queued items taken into learning, new items, grades.
void change(const std::string& dir)
{
    if (ma_init(dir.c_str()) != MA_INIT_FROM_BIN)
        ::_exit(90);
    ma_nn_init();
    introduce_pending(4, db().pending_head);
    introduce_pending(5, db().pending_head);
    for (int i = 0; i < 3; ++i)
        create_item(4, ("new " + std::to_string(i)).c_str(), "a", 0);
    go_to_day(40);
    for (int i = 0; i < 5 && db().head; ++i)
        grade_item(db().head, static_cast<uint16_t>(i % 6));
    add_cases(10, 12, 3, 4, 25);  // a lesson, so that the weights change too
}

std::string copy_of(const temp_dir& from, const temp_dir& to)
{
    fs::copy(from.path(), to.path(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    return to.path();
}

struct file_states {
    std::string old_bytes[3];
    std::string new_bytes[3];
};

class CrashTest : public clean_state_test {
protected:
    // The files before and after an undisturbed session.
    file_states reference(const temp_dir& old_dir)
    {
        file_states states;
        for (int i = 0; i < 3; ++i)
            states.old_bytes[i] = read_file(old_dir.file(saved_files[i]));
        temp_dir done;
        copy_of(old_dir, done);
        run_child([&] {
            change(done.path());
            ::_exit(ma_deinit(0));
        });
        for (int i = 0; i < 3; ++i)
            states.new_bytes[i] = read_file(done.file(saved_files[i]));
        return states;
    }

    template <typename F>
    static int run_child(F body)
    {
        const pid_t child = ::fork();
        if (child == 0) {
            body();
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return status;
    }

    // Each file is whole, old or new, and no question the user had is gone.
    void expect_old_or_new(const temp_dir& dir, const file_states& states, const std::multiset<std::string>& before,
        const std::string& context)
    {
        for (int i = 0; i < 3; ++i) {
            const std::string now = read_file(dir.file(saved_files[i]));
            EXPECT_TRUE(now == states.old_bytes[i] || now == states.new_bytes[i])
                << saved_files[i] << " is neither old nor new " << context;
        }
        ASSERT_EQ(ma_init(dir.path().c_str()), MA_INIT_FROM_BIN) << context;
        ma_nn_init();
        const std::multiset<std::string> after = questions();
        for (const std::string& q : std::set<std::string>(before.begin(), before.end()))
            EXPECT_GE(after.count(q), 1u) << q << " was lost " << context;
        ASSERT_EQ(ma_deinit(0), 0);
        for (const auto& entry : fs::directory_iterator(dir.path()))
            EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << "left behind " << context;
    }
};

}  // namespace

TEST_F(CrashTest, SavesThatFailAtAnyByteKeepTheOldOrTheNewData)
{
    temp_dir old_dir;
    build_old_state(old_dir.path(), 40);
    ASSERT_EQ(ma_init(old_dir.path().c_str()), MA_INIT_FROM_BIN);
    const std::multiset<std::string> before = questions();
    ASSERT_EQ(ma_deinit(0), 0);
    const file_states states = reference(old_dir);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(states.old_bytes[i] != states.new_bytes[i]) << saved_files[i] << " did not change";

    size_t largest = 0;
    for (const std::string& bytes : states.new_bytes)
        largest = std::max(largest, bytes.size());
    // A file-size limit fails every write past it, as a full disk would.
    int refused = 0;
    for (size_t limit = 0; limit <= largest + 1; limit += limit < 700 ? 3 : 37) {
        temp_dir work;
        copy_of(old_dir, work);
        const int status = run_child([&] {
            change(work.path());
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit cap{limit, limit};
            ::setrlimit(RLIMIT_FSIZE, &cap);
            ::_exit(ma_deinit(0));
        });
        ASSERT_TRUE(WIFEXITED(status)) << "limit " << limit;
        // 2 tells the window that the database could not be written.
        EXPECT_TRUE(WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 2) << "limit " << limit;
        refused += WEXITSTATUS(status) == 2;
        expect_old_or_new(work, states, before, "with writes failing past byte " + std::to_string(limit));
    }
    EXPECT_GT(refused, 10);  // the limits did stop saves part way
}

TEST_F(CrashTest, KilledWhileSavingKeepsTheOldOrTheNewData)
{
    temp_dir old_dir;
    build_old_state(old_dir.path(), 20000);
    ASSERT_EQ(ma_init(old_dir.path().c_str()), MA_INIT_FROM_BIN);
    const std::multiset<std::string> before = questions();
    ASSERT_EQ(ma_deinit(0), 0);
    const file_states states = reference(old_dir);

    std::mt19937 random(5);
    for (int round = 0; round < 25; ++round) {
        temp_dir work;
        copy_of(old_dir, work);
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            change(work.path());
            const char go = 1;
            (void)::write(ready[1], &go, 1);
            ma_deinit(0);
            ::_exit(0);
        }
        char go = 0;
        ASSERT_EQ(::read(ready[0], &go, 1), 1);
        ::usleep(std::uniform_int_distribution<unsigned>(0, 20000)(random));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ::close(ready[0]);
        ::close(ready[1]);
        expect_old_or_new(work, states, before, "after a kill in round " + std::to_string(round));
    }
}

TEST_F(CrashTest, APartRecordInTheCaseFileIsRepairedBeforeTheNextAppend)
{
    temp_dir dir;
    ASSERT_EQ(ma_init(dir.path().c_str()), MA_INIT_NEW_DATABASE);
    ma_nn_init();
    const ann_case first = make_case(5, 6, 1, 3, 7);
    write_file(dir.file("user_cases.bin"), std::string(reinterpret_cast<const char*>(first.data()), 20) + "part");
    add_cases(8, 9, 2, 4, 12);
    const std::string bytes = read_file(dir.file("user_cases.bin"));
    ASSERT_EQ(bytes.size(), 40u);
    const ann_case second = make_case(8, 9, 2, 4, 12);
    EXPECT_EQ(bytes.substr(20), std::string(reinterpret_cast<const char*>(second.data()), 20));
    EXPECT_NE(read_file(dir.file("error.log")).find("ended in a piece of a record"), std::string::npos);
}

#include "lifetime_data.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "ann/ann_files.h"
#include "calendar/calendar.h"
#include "database/database.h"
#include "session/lifecycle.h"
#include "session/review_log.h"
// GCC 12 at -O3 takes the builder's string concatenations for overlapping copies (its bug 105329).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
#include "tools/package_builder.h"
#pragma GCC diagnostic pop

namespace {

// Letters of the languages people learn, of one to three bytes.
constexpr const char* letters[] = {"a", "e", "i", "n", "r", "s", "t", "o", "l", "h", "ä", "ö", "ü", "ß", "é", "ñ",
    "д", "ж", "я", "ш", "λ", "ω", "日", "本", "語", "の", " ", " ", " "};

// A text of 20 to 80 bytes, ending on a whole character.
std::string lifetime_text(std::mt19937& random)
{
    const size_t target = 20 + random() % 61;
    std::string text;
    text.reserve(target);
    while (text.size() < target) {
        const char* letter = letters[random() % std::size(letters)];
        if (text.size() + std::strlen(letter) > target)
            letter = "e";
        text += letter;
    }
    return text;
}

std::vector<uint16_t> make_categories()
{
    std::vector<uint16_t> chapters;
    for (uint32_t s = 0; s < 19; ++s) {
        const uint16_t subject = add_category(("Fach " + std::to_string(s + 1)).c_str(), -1);
        for (uint32_t c = 0; c < 18; ++c)
            chapters.push_back(add_category(("Kapitel " + std::to_string(s + 1) + "." + std::to_string(c + 1)).c_str(), subject));
    }
    return chapters;
}

bool write_bytes(const std::string& path, const std::vector<unsigned char>& bytes)
{
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    return std::fclose(out) == 0 && written;
}

// Grades spread evenly over the days in use, on random items; one in 400 is undone at once, and
// one in 4,000 of those undos is followed by the undo of the grade before.
bool write_review_file(const std::string& path, const lifetime_counts& counts, uint32_t start, uint32_t first_id,
    std::mt19937& random)
{
    std::vector<unsigned char> bytes;
    bytes.reserve(static_cast<size_t>(counts.log_records) * review_record_size);
    unsigned char record[review_record_size];
    std::discrete_distribution<int> grades({4, 6, 10, 25, 40, 15});
    review_record r;
    for (uint32_t n = 0; n < counts.log_records; ++n) {
        const auto day = static_cast<uint16_t>(static_cast<uint64_t>(n) * lifetime_days / counts.log_records);
        const bool undo = n > 0 && r.event == review_event::grade && random() % 400 == 0;
        const bool second_undo = r.event == review_event::undo && random() % 4000 == 0;
        if (undo || second_undo) {
            r.event = review_event::undo;  // the same item, the same fields
        } else {
            r.event = review_event::grade;
            r.item_id = first_id + random() % counts.items;
            r.day = day;
            r.time = start + day * 86400u + random() % 86400u;
            r.interval_before = static_cast<uint16_t>(1 + random() % 400);
            r.elapsed = static_cast<uint16_t>(r.interval_before + random() % 8);
            r.grade = static_cast<uint8_t>(grades(random));
            r.interval_after = r.grade >= 3 ? static_cast<uint16_t>(std::min(2047u, r.interval_before * 2u + 1)) : 1;
            r.rp_after = static_cast<uint8_t>(1 + random() % 40);
            r.screen = random() % 10 == 0 ? review_screen::queue : review_screen::scheduled;
            r.test_error = 0.04f + static_cast<float>(random() % 1000) / 100000.0f;
        }
        encode_review(r, record);
        bytes.insert(bytes.end(), record, record + sizeof record);
    }
    return write_bytes(path, bytes);
}

bool write_cases(const std::string& path, uint32_t count, std::mt19937& random)
{
    std::vector<unsigned char> bytes;
    bytes.reserve(static_cast<size_t>(count) * case_record_size);
    for (uint32_t n = 0; n < count; ++n) {
        const auto ivl = static_cast<uint16_t>(1 + random() % 1000);
        const ann_case c = make_case(ivl, static_cast<uint16_t>(ivl + random() % 20), static_cast<uint16_t>(1 + random() % 30),
            static_cast<uint16_t>(random() % 6), static_cast<uint16_t>(1 + random() % 2000));
        for (float v : c) {
            uint32_t bits = 0;
            std::memcpy(&bits, &v, sizeof bits);
            for (int i = 0; i < 4; ++i)
                bytes.push_back(static_cast<unsigned char>(bits >> (8 * i)));
        }
    }
    return write_bytes(path, bytes);
}

}  // namespace

lifetime_counts lifetime_scaled(uint32_t divisor)
{
    const lifetime_counts full;
    const uint32_t d = std::max(divisor, 1u);
    return {std::max(full.items / d, 1u), std::max(full.queued / d, 1u), std::max(full.log_records / d, 1u),
        std::max(full.cases / d, 1u)};
}

bool make_lifetime_directory(const std::string& path, const lifetime_counts& counts, uint32_t seed)
{
    if (holds_any(ma_init(path.c_str()),
            init_status::dir_not_accessible | init_status::held_by_other | init_status::read_only))
        return false;
    database& d = db();
    const uint32_t start = time_now() - static_cast<uint32_t>(lifetime_days) * 86'400u;
    d.time_of_start = start;
    std::mt19937 random(seed);
    const std::vector<uint16_t> chapters = make_categories();

    // Intervals as years of grades leave them; the last grade somewhere in the interval, so that
    // most items are due ahead and those whose interval ran out lately are overdue by days.
    std::lognormal_distribution<double> interval(std::log(40.0), 1.0);
    std::uniform_real_distribution<double> since(0.0, 1.1);
    const uint32_t first_id = start;
    scheduled_batch batch;
    for (uint32_t i = 0; i < counts.items; ++i) {
        item* e = new_item();
        e->ivl = static_cast<uint16_t>(std::clamp(interval(random), 1.0, 2047.0));
        const auto last = static_cast<uint16_t>(lifetime_days - static_cast<uint16_t>(since(random) * e->ivl));
        e->tmtrpt = e->stmtrpt = static_cast<uint16_t>(last + e->ivl);
        e->livl = e->rllivl = static_cast<uint16_t>(e->ivl * 2 / 3);
        e->ctgr = chapters[random() % chapters.size()];
        e->rp = static_cast<uint16_t>(1 + random() % 30);
        e->gr = static_cast<uint16_t>(random() % 6);
        e->id = first_id + i;
        e->question = lifetime_text(random);
        e->answer = lifetime_text(random);
        batch.add(e);
        ++d.item_count;
    }
    batch.link();
    for (uint32_t i = 0; i < counts.queued; ++i) {
        pending_item* p = new_pending_item();
        p->ctgr = chapters[random() % chapters.size()];
        p->question = lifetime_text(random);
        p->answer = lifetime_text(random);
        append_pending(p);
    }
    const bool extras = write_review_file(path + review_log_name, counts, start, first_id, random) &&
        write_cases(path + "user_cases.bin", counts.cases, random);
    ma_nn_init();
    return ma_deinit(close_mode::complete) == deinit_status::done && extras;
}

lifetime_package make_lifetime_package(const std::string& dir, uint32_t divisor)
{
    lifetime_package made;
    made.notes = lifetime_scaled(divisor).items / 10;
    deck_package p;
    p.decks = {{1, "Default"}, {2, "Imported::Words"}, {3, "Imported::Phrases"}};
    std::mt19937 random(divisor);
    const auto text = [&] {
        std::string t(20 + random() % 61, 'a');
        for (char& c : t)
            c = static_cast<char>('a' + random() % 26);
        return t;
    };
    for (uint32_t i = 0; i < made.notes; ++i) {
        if (i % 50 == 49) {
            deck_note repeat = p.notes[random() % p.notes.size()];
            repeat.id = i + 1;
            p.notes.push_back(repeat);
            ++made.repeats;
            continue;
        }
        p.notes.push_back({i + 1, text() + "\x1f" + text(), 1 + static_cast<int64_t>(i % 3)});
    }
    made.path = p.build(dir);
    return made;
}

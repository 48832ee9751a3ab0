#pragma once
// For the tests of a sync folder: what must agree between computers, taken from the open
// database by item identity rather than by address, and the differences of two such images for
// a failure message.
#include <map>
#include <tuple>

#include "support/database_helpers.h"
#include "support/sync_changes.h"

struct collection_image {
    std::map<std::string, std::tuple<std::string, std::string, uint16_t, uint16_t, uint16_t, uint16_t, uint16_t,
        uint16_t, uint16_t, uint32_t>>
        items;  // by question (unique in this test): answer, path, schedule in days since 1970, id
    std::map<std::string, std::tuple<std::string, std::string>> queue;  // by question: answer, path
    std::set<std::string> categories;  // every path
    bool operator==(const collection_image&) const = default;
};

inline std::string path_text(uint16_t c)
{
    std::string s;
    for (const std::string& n : category_names_from_top(c))
        s += "/" + n;
    return s;
}

inline collection_image image_of_open_database()
{
    collection_image m;
    // Days since 1970 of the database's day 0 (the zone is UTC): databases begin on different days.
    const auto shift = static_cast<uint16_t>(db().time_of_start / 86400);
    for (const item* e : scheduled_items())
        m.items[e->question.str()] = {e->answer.str(), path_text(e->ctgr), static_cast<uint16_t>(e->tmtrpt + shift),
            static_cast<uint16_t>(e->stmtrpt + shift), e->ivl, e->livl, e->rllivl, e->rp, e->gr, e->id};
    for (const pending_item* p : pending_items())
        m.queue[p->question.str()] = {p->answer.str(), path_text(p->ctgr)};
    for (uint16_t c = 0; c < category_count(); ++c)
        m.categories.insert(path_text(c));
    return m;
}

// The first few entries in which two images differ, for the failure message.
inline std::string difference(const collection_image& a, const collection_image& b)
{
    std::string out;
    int shown = 0;
    const auto compare = [&](const auto& x, const auto& y, const char* what) {
        for (const auto& [key, value] : x)
            if ((!y.contains(key) || !(y.at(key) == value)) && shown++ < 5)
                out += std::string(what) + " " + key
                    + (y.contains(key) ? " differs: " + ::testing::PrintToString(value) + " | " + ::testing::PrintToString(y.at(key)) : " missing") + "\n";
        for (const auto& [key, value] : y)
            if (!x.contains(key) && shown++ < 10)
                out += std::string(what) + " " + key + " extra\n";
    };
    compare(a.items, b.items, "item");
    compare(a.queue, b.queue, "queued");
    std::map<std::string, int> ca, cb;
    for (const std::string& c : a.categories)
        ca[c] = 0;
    for (const std::string& c : b.categories)
        cb[c] = 0;
    compare(ca, cb, "category");
    return out;
}

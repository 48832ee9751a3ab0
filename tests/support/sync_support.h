#pragma once
// For the tests of a sync folder: what must agree between computers, taken from the open
// database by item identity rather than by address, and the differences of two such images for
// a failure message.
#include <map>
#include <set>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "database/database.h"
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

inline std::string describe(int) { return {}; }
template <typename... T>
std::string describe(const std::tuple<T...>& t)
{
    std::string out;
    std::apply([&](const auto&... field) { ((out += ::testing::PrintToString(field) + " "), ...); }, t);
    return out;
}

// The first few entries in which two images differ, for the failure message.
template <typename Map>
std::string difference(const Map& a, const Map& b, const char* what)
{
    std::string out;
    int shown = 0;
    for (const auto& [key, value] : a) {
        const auto it = b.find(key);
        if ((it == b.end() || !(it->second == value)) && shown++ < 5)
            out += std::string(what) + " " + key + (it == b.end() ? " missing\n" : " differs: " + describe(value) + " | " + describe(it->second) + "\n");
    }
    for (const auto& [key, value] : b)
        if (a.find(key) == a.end() && shown++ < 10)
            out += std::string(what) + " " + key + " extra\n";
    return out;
}

inline std::string difference(const collection_image& a, const collection_image& b)
{
    std::map<std::string, int> ca, cb;
    for (const std::string& c : a.categories)
        ca[c] = 0;
    for (const std::string& c : b.categories)
        cb[c] = 0;
    return difference(a.items, b.items, "item") + difference(a.queue, b.queue, "queued") + difference(ca, cb, "category");
}

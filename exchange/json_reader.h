#pragma once
// A small JSON reader for the maps inside other trainers' packages (their decks and media
// lists): a whole document into a tree, refusing anything malformed or nested too deep.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct json_member;

struct json_value {
    enum class kind { null, boolean, number, string, array, object };
    kind type = kind::null;
    std::string text;  // a string's value, or a number as written
    bool truth = false;  // a boolean's value
    std::vector<json_value> items;  // an array's values
    std::vector<json_member> members;  // an object's members, in order

    const json_value* member(std::string_view name) const;
};

struct json_member {
    std::string key;  // the member's name
    json_value value;  // and its value
};

std::optional<json_value> parse_json(std::string_view text);

#include "exchange/exchange_problem.h"

#include <array>
#include <cstring>
#include <utility>

namespace {

constexpr std::array<const char*, 42> code_names = {
    "none",
    "cannot_open",
    "cannot_read",
    "cannot_create",
    "cannot_write",
    "file_too_large",
    "unknown_separator",
    "quote_not_closed",
    "not_a_package",
    "too_many_files",
    "no_package_open",
    "member_unreadable",
    "member_too_large",
    "package_too_large",
    "member_damaged",
    "out_of_memory",
    "member_cut_off",
    "media_not_renamed",
    "media_not_synced",
    "no_collection",
    "no_scratch_folder",
    "no_room_for_collection",
    "collection_not_opened",
    "collection_unknown",
    "collection_damaged",
    "media_list_damaged",
    "no_collection_record",
    "deck_list_damaged",
    "categories_too_deep",
    "item_not_exportable",
    "category_table_damaged",
    "text_missing",
    "text_holds_nul",
    "text_not_utf8",
    "text_too_long",
    "text_holds_closing_tag",
    "category_not_made",
    "media_missing",
    "media_name_escapes",
    "media_too_large",
    "media_folder_not_made",
    "media_no_room",
};

static_assert(code_names.size() == static_cast<size_t>(exchange_problem_code::media_no_room) + 1);

}  // namespace

std::string log_text(const exchange_problem& problem)
{
    using enum exchange_problem_code;
    const auto code = static_cast<size_t>(problem.code);
    std::string text = code < code_names.size() ? code_names[code] : "unknown";
    if (problem.place != item_place::none)
        text += (problem.place == item_place::line ? " at line " : " at note ") + std::to_string(problem.place_number);
    if (problem.code >= text_missing && problem.code <= text_too_long)
        text += problem.field == text_field::answer ? " (answer)" : " (question)";
    if (problem.code >= media_missing)
        text += problem.media == media_kind::sound ? " (sound)" : " (picture)";
    for (const std::string* part : {&problem.path, &problem.name, &problem.detail})
        if (!part->empty())
            text += " \"" + *part + "\"";
    for (const auto& [label, n] : {std::pair{" line ", problem.line}, {" size ", problem.size}, {" limit ", problem.limit}})
        if (n != 0)
            text += label + std::to_string(n);
    if (problem.os_error != 0)
        text += std::string(": ") + std::strerror(problem.os_error);
    return text;
}

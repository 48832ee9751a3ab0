#include "exchange/column_names.h"

#include <algorithm>

#include <set>
#include <string>

#include "platform/utf.h"

namespace {

struct named_role {
    std::string_view name;  // lower case
    column_role role;
};

// The names spreadsheets and other trainers' exports give these columns, in the languages
// their users most often write headers in.
constexpr named_role known_names[] = {
    {"question", column_role::question}, {"front", column_role::question}, {"q", column_role::question},
    {"frage", column_role::question}, {"vorderseite", column_role::question}, {"word", column_role::question},
    {"term", column_role::question}, {"wort", column_role::question}, {"begriff", column_role::question},
    {"recto", column_role::question}, {"pregunta", column_role::question},
    {"answer", column_role::answer}, {"back", column_role::answer}, {"a", column_role::answer},
    {"antwort", column_role::answer}, {"r\xC3\xBC" "ckseite", column_role::answer},
    {"translation", column_role::answer}, {"definition", column_role::answer}, {"meaning", column_role::answer},
    {"\xC3\xBC" "bersetzung", column_role::answer}, {"bedeutung", column_role::answer},
    {"verso", column_role::answer}, {"respuesta", column_role::answer}, {"r\xC3\xA9" "ponse", column_role::answer},
    {"category", column_role::category}, {"categories", column_role::category}, {"deck", column_role::category},
    {"kategorie", column_role::category}, {"tags", column_role::category}, {"tag", column_role::category},
    {"stapel", column_role::category}, {"cat\xC3\xA9" "gorie", column_role::category},
    {"categor\xC3\xAD" "a", column_role::category},
};

// Lower case for the ASCII letters and the capitals of the names above that are not ASCII.
std::string folded(std::string_view name)
{
    std::string s = ascii_lower(name);
    const size_t begin = s.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return {};
    s = s.substr(begin, s.find_last_not_of(" \t") - begin + 1);
    // Ü and É at the start of a name ("Übersetzung", "Écriture") as ü and é.
    for (const auto& [upper, lower] : {std::pair{"\xC3\x9C", "\xC3\xBC"}, std::pair{"\xC3\x89", "\xC3\xA9"}})
        if (s.compare(0, 2, upper) == 0)
            s.replace(0, 2, lower);
    return s;
}

}  // namespace

column_role role_of_column_name(std::string_view name)
{
    const std::string n = folded(name);
    for (const named_role& k : known_names)
        if (n == k.name)
            return k.role;
    return column_role::unknown;
}

column_mapping guess_columns(const std::vector<std::string>& names, const std::optional<size_t>& category_column,
    const std::vector<size_t>& other_columns)
{
    column_mapping m;
    int found[4] = {no_column, no_column, no_column, no_column};  // by column_role
    for (size_t i = 0; i < names.size(); ++i) {
        int& first = found[static_cast<int>(role_of_column_name(names[i]))];
        if (first == no_column)
            first = static_cast<int>(i);
    }
    m.category = found[static_cast<int>(column_role::category)];
    if (category_column)
        m.category = static_cast<int>(*category_column);
    // A text no name places goes into the first column that holds nothing else: a deck column
    // written first would otherwise give every item its deck's name as the question.
    const int question = found[static_cast<int>(column_role::question)];
    const int answer = found[static_cast<int>(column_role::answer)];
    const auto first_free = [&](int taken) {
        int c = 0;
        while (c == m.category || c == taken || std::find(other_columns.begin(), other_columns.end(), size_t(c)) != other_columns.end())
            ++c;
        return c;
    };
    m.question = question != no_column ? question : first_free(answer);
    m.answer = answer != no_column ? answer : first_free(m.question);
    return m;
}

column_proposal propose_columns(const text_table& table)
{
    column_proposal p;
    if (!table.column_names.empty() || table.rows.empty()) {
        p.columns = guess_columns(table.column_names, table.category_column, table.other_columns);
        return p;
    }
    std::set<column_role> roles;
    for (const std::string& field : table.rows.front())
        if (const column_role r = role_of_column_name(field); r != column_role::unknown)
            roles.insert(r);
    p.header_row = roles.size() >= 2;
    p.columns = guess_columns(p.header_row ? table.rows.front() : std::vector<std::string>{}, table.category_column, table.other_columns);
    return p;
}

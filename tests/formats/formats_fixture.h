#pragma once
// A database open in a fresh directory, with helpers for the readers' files and their results.
#include <utility>

#include "formats/xml.h"
#include "support/database_helpers.h"

class formats_test : public open_database_test {
protected:
    void SetUp() override
    {
        open_database_test::SetUp();
        clear_log();
    }

    void clear_log() const { write_file(dir.file("error.log"), ""); }
    bool log_has(const std::string& text) const { return log().find(text) != std::string::npos; }

    std::string xml_path() const { return dir.file("elements.xml"); }
    int load(const std::string& text) const
    {
        write_file(xml_path(), text);
        return static_cast<int>(load_xml(xml_path().c_str()));
    }

    static std::vector<std::pair<std::string, std::string>> texts()
    {
        std::vector<std::pair<std::string, std::string>> all;
        for (const item* e : scheduled_items())
            all.emplace_back(e->question.str(), e->answer.str());
        return all;
    }
    using text_list = std::vector<std::pair<std::string, std::string>>;
    static std::vector<uint32_t> item_categories()
    {
        std::vector<uint32_t> all;
        for (const item* e : scheduled_items())
            all.push_back(e->ctgr);
        return all;
    }
    static const std::string& name_of(uint32_t c) { return category_at(c)->name; }
};

inline std::string xml_file(const std::string& body, const std::string& version = "12")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<cardwright core_version=\"" + version +
           "\" time_of_start=\"1700000000\">\n" + body;
}

inline std::string xml_item(unsigned id, unsigned tmtrpt, const std::string& question, const std::string& answer)
{
    return "<item id=\"" + std::to_string(id) + "\" tmtrpt=\"" + std::to_string(tmtrpt) +
           "\" stmtrpt=\"1\" livl=\"2\" rllivl=\"3\" ivl=\"4\" rp=\"5\" gr=\"4\" sstick=\"6\" hstick=\"7\">\n<q>" +
           question + "</q>\n<a>" + answer + "</a>\n</item>\n";
}

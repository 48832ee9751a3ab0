#pragma once
// A database open in a temporary directory, with helpers to read what an import left there.
#include <tuple>

#include "exchange/export.h"
#include "exchange/import_batch.h"
#include "support/database_helpers.h"

class exchange_test : public open_database_test {
protected:
    static std::vector<std::tuple<std::string, std::string, std::string>> queue_contents()
    {
        std::vector<std::tuple<std::string, std::string, std::string>> all;
        for (const pending_item* p : pending_items())
            all.emplace_back(p->question, p->answer, category_path_text(p->ctgr));
        return all;
    }
    static std::vector<std::string> problems(const import_summary& s)
    {
        std::vector<std::string> all;
        for (const exchange_problem& p : s.problems)
            all.push_back(log_text(p));
        return all;
    }
    std::string file(const std::string& name, const std::string& contents) const
    {
        const std::string path = files.file(name);
        write_file(path, contents);
        return path;
    }
    temp_dir files;  // the user's files, outside the data directory
};

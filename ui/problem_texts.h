#pragma once
// The portable library reports what went wrong as codes with what they name; these words them
// in the user's language, one function per kind of report.
#include <cstdint>

#include <QCoreApplication>
#include <QString>

struct exchange_problem;
struct save_problem;
struct sync_problem;

class problem_texts {
    Q_DECLARE_TR_FUNCTIONS(problem_texts)

public:
    // Why an import or an export stopped, or why one item or media file was left out.
    static QString exchange(const exchange_problem& problem);
    // The file a save could not write, and why.
    static QString save(const save_problem& failure);
    // A change this computer's change log did not take.
    static QString sync(const sync_problem& problem);
    // What the system said (errno), as its own message says it where it has one in the language.
    static QString system(int os_error);
    // A size on disk as bytes below 1 MiB, else in whole MiB, rounded up.
    static QString size(uint64_t bytes);
};

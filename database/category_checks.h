#pragma once
// Checks of a category table as a file gave it, before the rest of the program relies on it.
#include <cstdint>
#include <vector>

// Makes top-level every category whose parent is past the table or its own descendant, and
// puts the table in parents-first order. Returns the new index of each old one, or an empty
// table when nothing moved.
std::vector<uint16_t> repair_category_tree();

// Warns of two categories with one name under one parent, which a path cannot tell apart.
void report_duplicate_names();

#pragma once
// elements.xml: the XML database file, read only.

enum class [[nodiscard]] xml_load_status : int {
    done = 0,  // read, perhaps with warnings
    not_read = 1,  // nothing read stays
};

// Fills the category table and the scheduled list and sets time_of_start; a file of core
// version 10 or lower goes to load_old_xml.
xml_load_status load_xml(const char* path);
// The form written before core version 11.
xml_load_status load_old_xml(const char* path);

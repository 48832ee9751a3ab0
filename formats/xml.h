#pragma once
// elements.xml: the XML database file, read only.

enum : int {
    LOAD_XML_DONE = 0,  // read, perhaps with warnings
    LOAD_XML_NOT_READ = 1,
};

// Fills the category table and the scheduled list and sets time_of_start. 0 read (perhaps
// with warnings), 1 not read; a file of core version 10 or lower goes to load_old_xml.
int load_xml(const char* path);
// The form written before core version 11. 0 read, 1 not read.
int load_old_xml(const char* path);

#pragma once
// elements.xml: the XML database file, read only.

// 0 read, 1 not read.
int load_xml(const char* path);

#include "formats/xml.h"

// The XML reader arrives with its own change.
int load_xml(const char*) { return 1; }

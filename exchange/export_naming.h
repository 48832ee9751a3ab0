#pragma once
// The file an export is offered to write, and the form its name asks for.
#include <optional>
#include <string>
#include <string_view>

enum class export_format {
    text,  // tab-separated text, as export_text_file writes it
    xml,  // the database's XML form, as export_xml writes it
};

// The form a file name's extension asks for, whatever its case: ".xml" the XML form; ".txt",
// ".tsv", ".csv" text. None for another extension or none, where the user's choice stands.
std::optional<export_format> export_format_of(std::string_view file_name);

// The name offered for an export of the collection `collection` on the date given as
// "YYYY-MM-DD": "cardwrightdb-2026-12-07.txt".
std::string proposed_export_name(std::string_view collection, std::string_view date, export_format format);

// The name with the format's extension in place of one of the known extensions (or added when it
// has none), so that the name and the chosen form agree; a name of another extension is kept.
std::string with_export_extension(std::string_view file_name, export_format format);

#include "exchange/export_naming.h"

#include "platform/utf.h"

namespace {

const char* extension_of(export_format format) { return format == export_format::xml ? ".xml" : ".txt"; }

// Where the extension begins in the name's last part, or npos when it has none.
size_t extension_start(std::string_view file_name)
{
    const size_t slash = file_name.find_last_of('/');
    const size_t base = slash == std::string_view::npos ? 0 : slash + 1;
    const size_t dot = file_name.find_last_of('.');
    // A leading dot names a hidden file, not an extension.
    return dot == std::string_view::npos || dot <= base ? std::string_view::npos : dot;
}

}  // namespace

std::optional<export_format> export_format_of(std::string_view file_name)
{
    const size_t dot = extension_start(file_name);
    if (dot == std::string_view::npos)
        return std::nullopt;
    const std::string extension = ascii_lower(file_name.substr(dot));
    if (extension == ".xml")
        return export_format::xml;
    if (extension == ".txt" || extension == ".tsv" || extension == ".csv")
        return export_format::text;
    return std::nullopt;
}

std::string proposed_export_name(std::string_view collection, std::string_view date, export_format format)
{
    std::string name(collection.empty() ? std::string_view("cardwright") : collection);
    return name + "-" + std::string(date) + extension_of(format);
}

std::string with_export_extension(std::string_view file_name, export_format format)
{
    const size_t dot = extension_start(file_name);
    if (dot != std::string_view::npos && !export_format_of(file_name))
        return std::string(file_name);
    if (file_name.empty() || file_name.back() == '/')
        return std::string(file_name);
    return std::string(file_name.substr(0, dot)) + extension_of(format);
}

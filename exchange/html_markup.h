#pragma once
// HTML of other trainers' cards turned into the program's markup: bold, italic, underline and
// strike-through kept, line breaks and blocks as line feeds, entities decoded, pictures and
// sounds as <img> and <snd> elements, every other tag dropped.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// The path an item stores for a media file the card names, or none when the file is not
// there (its element is then left out).
using media_resolver = std::function<std::optional<std::string>(const std::string& name, bool sound)>;

std::string html_to_markup(std::string_view html, const media_resolver& media);
// "%20" and the like decoded, as links in HTML may write file names.
std::string percent_decoded(std::string_view text);

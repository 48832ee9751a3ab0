#pragma once
// The "media" entry of a package: which zip entry holds which media file. Older packages write
// it as JSON ({"0": "cat.jpg"}), newer ones as a protobuf message, zstd-compressed.
#include <map>
#include <optional>
#include <string>

// File name as the cards name it -> the zip entry holding it.
using media_map = std::map<std::string, std::string>;

std::optional<media_map> parse_media_map(const std::string& bytes);

// Whether a media name from a package is a plain file name: no folder, no way out of the
// folder it is copied into, no bytes that the markup or the file system would misread.
bool safe_media_name(const std::string& name);

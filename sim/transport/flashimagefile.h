#pragma once

#include "model/flash.h"

#include <optional>
#include <string>

namespace kestrin {

// The flash as a file (.fls): each byte two hexadecimal digits, high digit first, 983,040
// digits in all with nothing between them; anything after them is ignored. The simulator
// reads it on its own (it shares no code with the console), so a disagreement about the
// format shows when the two meet.
std::optional<Flash> readFlashImageFile(const std::string& path, std::string& error);

// Writes the flash as lowercase digits into "<file>.part" (always created new, never
// through a link), puts it on the disk and renames it over the file, so a simulator that
// dies half-way never leaves a damaged image. A file that is a symbolic link is written
// through (the link stays), and a replaced file keeps its permissions.
bool writeFlashImageFile(const std::string& path, const Flash& flash, std::string& error);

} // namespace kestrin

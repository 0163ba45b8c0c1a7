#pragma once

#include <filesystem>
#include <sys/types.h>

namespace kestrin {

// Creates a file that was not there, never through a link (O_EXCL with
// O_NOFOLLOW) and opened for writing; a plain file left under the name by an
// earlier run that died is removed first, anything else (a link, a folder, a
// device) is left alone. The descriptor, or -1 with errno set.
int createExclusively(const std::filesystem::path& path, mode_t mode);

} // namespace kestrin

#pragma once

#include <cstddef>
#include <string>

namespace tess {

// Writes `size` bytes to `path` so that the file on disk is, at every moment, either the old
// file byte for byte or the new one: the bytes go to a temporary file in the same folder, are
// flushed to the disk, and the temporary file is renamed over the target. On any failure the
// target is untouched, the temporary file is removed, and std::runtime_error is thrown with a
// text that names the cause.
void writeFileAtomically(const std::string& path, const void* data, std::size_t size);

}  // namespace tess

#pragma once
// File primitives shared by the settings sources.

#include <cstdint>
#include <string>
#include <string_view>

namespace settings::detail {

enum class FileKind { key, whole };

// Reads the whole file; false (and out empty) when it cannot be read or is not a regular
// file (a FIFO, a device or a directory answers at once and is never read).
bool read_file(const std::string& path, std::string& out);

// Replaces path by bytes atomically: a temporary file in the same folder, written,
// flushed to disk, then renamed over path. Skips the write when the file already holds
// exactly these bytes. An existing file keeps its mode; a new one gets 0644, key files
// and configure.ini are owner-only (0600).
bool replace_file(const std::string& path, std::string_view bytes, FileKind kind);

// Test hooks: regular files opened for reading, and files replaced, since the process
// started.
std::uint64_t read_count();
std::uint64_t replace_count();

}  // namespace settings::detail

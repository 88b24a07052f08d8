// Files for reading, the way the engine opens them: existing files only,
// read-only, and without sharing: while a handle is open, every other attempt
// to open the same file through OpenForReading (in this or another process)
// fails. Names may use '\' as a separator; relative names are resolved
// against the current directory.
//
//   intptr_t f = os::OpenForReading("data\\tarta.jpg");
//   uint64_t size;
//   if (f != os::kInvalidFile && os::FileSize64(f, &size)) os::ReadFile(f, dest, n);
//   os::CloseFile(f);
#pragma once

#include <cstdint>

namespace os {

inline constexpr intptr_t kInvalidFile = -1;

// kInvalidFile when the file is missing, not a regular file, or open already.
intptr_t OpenForReading(const char* name);
// Nothing for kInvalidFile.
void CloseFile(intptr_t file);
// Reads up to count bytes from the current position; returns how many were
// read (0 for kInvalidFile, at the end, or on an error).
uint32_t ReadFile(intptr_t file, void* destination, uint32_t count);
// False when the file has no size (kInvalidFile).
bool FileSize64(intptr_t file, uint64_t* size);

}  // namespace os

// Dynamic libraries by name, as the engine asks for them ("visordll.dll").
//
//   os::LibraryHandle lib = os::LoadLibrary("visordll.dll");
//   auto* f = reinterpret_cast<void (*)()>(os::GetProcAddress(lib, "_CrearManager"));
//   os::FreeLibrary(lib);
//
// A name ending in ".dll" maps to this platform's shared-library name
// ("visordll.dll" -> "libvisordll.so"); the library is looked for beside the
// executable first, then on the system's usual search path.
#pragma once

#include <string>

namespace os {

using LibraryHandle = void*;

// Null when no such library loads.
LibraryHandle LoadLibrary(const char* name);
// Null when the library lacks the symbol (or the handle is null).
void* GetProcAddress(LibraryHandle library, const char* symbol);
void FreeLibrary(LibraryHandle library);

// The file name a library name maps to on this platform.
std::string SharedLibraryFileName(const char* name);

}  // namespace os

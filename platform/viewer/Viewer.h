// The debug text viewer's entry points, as the engine looks them up by name in
// "visordll.dll" and calls them. Our viewer writes what it is sent, one line
// per call, to standard error, or appends it to the file named by the
// environment variable TESSARY_VIEWER_LOG when that is set:
//   [<title>] open <placement x y w h>   _CrearVisor
//   [<title>] clear                      _BorrarTexto
//   [<title>] <text>                     _InsertarTexto
#pragma once

#include <cstdint>

struct ViewerPlacement {
    int32_t x, y, width, height;
};
static_assert(sizeof(ViewerPlacement) == 16);

using ViewerHandle = int32_t;

extern "C" {
using CrearManagerFn = void (*)();
using CrearVisorFn = ViewerHandle (*)(const char* title, ViewerPlacement placement);
using BorrarVisorFn = void (*)(ViewerHandle viewer);
using InsertarTextoFn = void (*)(ViewerHandle viewer, const char* text);
using BorrarTextoFn = void (*)(ViewerHandle viewer);
using TriedToCloseFn = int32_t (*)(ViewerHandle viewer);
using CerrarManagerFn = void (*)();
}

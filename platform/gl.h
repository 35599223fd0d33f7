// OpenGL 1.1 and GLU for both hosts. On Windows the GL headers need the calling-convention and
// import macros that <windows.h> defines, so it has to come first; this is the one header through
// which portable code may see it, and it keeps the Windows namespace as small as it can.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

#include <GL/gl.h>
#include <GL/glu.h>

// The window and rendering context as the portable shell and visuals see them. The win32
// backend implements these with the Win32 calls themselves; the sdl backend with SDL2.
#pragma once

namespace ostrel::platform {

// Shows the back buffer (SwapBuffers on the window's device context).
void swapBuffers();
// The window's device context (an HDC on Windows; null elsewhere), for the font build.
void* deviceContext();

}  // namespace ostrel::platform

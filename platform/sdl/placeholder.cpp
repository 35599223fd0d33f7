// PLACEHOLDER: removed once sdl/ has sources.

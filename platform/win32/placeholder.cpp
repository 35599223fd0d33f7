// PLACEHOLDER: removed once win32/ has sources.

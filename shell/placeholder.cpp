// PLACEHOLDER: removed once shell/ has sources.

// PLACEHOLDER: removed once visuals/ has sources.

// Library load and unload hooks of the shared library.

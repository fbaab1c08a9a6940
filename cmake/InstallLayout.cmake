# Where an installation puts its parts, relative to its prefix, so that a prefix can be chosen at install time
# (cmake --install --prefix) and moved whole afterwards.

# Installed programs and libraries find the libraries of the same installation.
file(RELATIVE_PATH tevra_bin_to_lib /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${CMAKE_INSTALL_LIBDIR})
set(CMAKE_INSTALL_RPATH "$ORIGIN/${tevra_bin_to_lib}" "$ORIGIN")

# The registration file of the measurement server: the platform library looks for it from its own folder,
# and the module it names is found from the file's folder.
set(TEVRA_REGISTRY_INSTALL_DIR ${CMAKE_INSTALL_SYSCONFDIR}/tevra)
set(TEVRA_SERVER_MODULE_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/tevra)
file(RELATIVE_PATH TEVRA_REGISTRY_FROM_LIBRARY /prefix/${CMAKE_INSTALL_LIBDIR}
  /prefix/${TEVRA_REGISTRY_INSTALL_DIR}/registry.reg)
file(RELATIVE_PATH TEVRA_SERVER_MODULE_FROM_REGISTRY /prefix/${TEVRA_REGISTRY_INSTALL_DIR}
  /prefix/${TEVRA_SERVER_MODULE_INSTALL_DIR})

# The Python package; Debian's own layout, which a prefix other than /usr adds to PYTHONPATH.
set(TEVRA_PYTHON_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/python3/dist-packages CACHE STRING
  "Folder of the installed Python package, relative to the prefix")

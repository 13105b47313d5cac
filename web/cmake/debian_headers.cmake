# The browser build takes two header-only libraries from the Debian packages
# that the native build uses (libtomlplusplus-dev, libcli11-dev), but not the
# rest of /usr/include, which holds the native C library's headers: a folder
# in the build tree links to the two alone, and the package configurations
# beside this file point there.
set(KESTRIX_DEBIAN_HEADERS ${PROJECT_BINARY_DIR}/debian-headers)
file(MAKE_DIRECTORY ${KESTRIX_DEBIAN_HEADERS})
foreach(folder toml++ CLI)
  if(NOT EXISTS /usr/include/${folder})
    message(FATAL_ERROR "/usr/include/${folder} is missing: scripts/web installs it")
  endif()
  file(CREATE_LINK /usr/include/${folder} ${KESTRIX_DEBIAN_HEADERS}/${folder} SYMBOLIC)
endforeach()
set(tomlplusplus_DIR ${CMAKE_CURRENT_LIST_DIR}/tomlplusplus)
set(CLI11_DIR ${CMAKE_CURRENT_LIST_DIR}/CLI11)

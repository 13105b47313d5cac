# The header-only libraries of the build machine (Debian's libcli11-dev and
# libtomlplusplus-dev) for a cross build: their headers alone, each from a
# folder of its own, since /usr/include as a whole holds the build machine's
# C library. toml++ is then compiled into the program (TOML_HEADER_ONLY)
# instead of linked from Debian's shared library.
set(host_headers ${PROJECT_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${host_headers})
foreach(folder CLI toml++)
  if(NOT EXISTS /usr/include/${folder})
    message(FATAL_ERROR "/usr/include/${folder} is missing: install libcli11-dev and libtomlplusplus-dev")
  endif()
  file(CREATE_LINK /usr/include/${folder} ${host_headers}/${folder} SYMBOLIC)
endforeach()

add_library(CLI11::CLI11 INTERFACE IMPORTED)
set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${host_headers})
add_library(tomlplusplus::tomlplusplus INTERFACE IMPORTED)
set_target_properties(tomlplusplus::tomlplusplus PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES ${host_headers} INTERFACE_COMPILE_DEFINITIONS TOML_HEADER_ONLY=1)

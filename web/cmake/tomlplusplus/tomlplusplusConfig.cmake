# toml++ for the browser build, header-only (see ../debian_headers.cmake).
if(NOT TARGET tomlplusplus::tomlplusplus)
  add_library(tomlplusplus::tomlplusplus INTERFACE IMPORTED)
  set_target_properties(tomlplusplus::tomlplusplus PROPERTIES
    INTERFACE_COMPILE_DEFINITIONS TOML_HEADER_ONLY=1
    INTERFACE_INCLUDE_DIRECTORIES ${KESTRIX_DEBIAN_HEADERS})
endif()

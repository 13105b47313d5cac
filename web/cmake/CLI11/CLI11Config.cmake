# CLI11 for the browser build, header-only (see ../debian_headers.cmake).
if(NOT TARGET CLI11::CLI11)
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  set_target_properties(CLI11::CLI11 PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${KESTRIX_DEBIAN_HEADERS})
endif()

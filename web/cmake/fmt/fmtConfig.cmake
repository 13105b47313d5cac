# fmt for the browser build, header-only (see ../debian_headers.cmake).
if(NOT TARGET fmt::fmt-header-only)
  add_library(fmt::fmt-header-only INTERFACE IMPORTED)
  set_target_properties(fmt::fmt-header-only PROPERTIES
    INTERFACE_COMPILE_DEFINITIONS FMT_HEADER_ONLY=1
    INTERFACE_INCLUDE_DIRECTORIES ${KESTRIX_DEBIAN_HEADERS})
endif()

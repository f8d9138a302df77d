# libspeex, libogg and sonic are installed system libraries, never copies in the tree.
# Each is offered as an imported target velorin::NAME.
find_package(Threads REQUIRED)
find_package(PkgConfig)

function(velorin_find_library name header lib)
  if(TARGET velorin::${name})
    return()
  endif()
  find_path(${name}_INCLUDE_DIR ${header})
  find_library(${name}_LIBRARY ${lib})
  if(NOT ${name}_INCLUDE_DIR OR NOT ${name}_LIBRARY)
    message(FATAL_ERROR "${name} not found (header ${header}, library ${lib}); run scripts/install-deps")
  endif()
  add_library(velorin::${name} UNKNOWN IMPORTED)
  set_target_properties(velorin::${name} PROPERTIES
    IMPORTED_LOCATION ${${name}_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${${name}_INCLUDE_DIR})
endfunction()

velorin_find_library(speex speex/speex.h speex)
velorin_find_library(ogg ogg/ogg.h ogg)
velorin_find_library(sonic sonic.h sonic)

# libspeex, libogg, sonic and espeak-ng are installed system libraries, never copies in the tree.
# Each is offered as an imported target velorin::NAME: through pkg-config where the library ships
# a module for it, else by searching for its header and library.
find_package(Threads REQUIRED)
find_package(PkgConfig QUIET)

# velorin_find_dependency(NAME PKG_MODULE HEADER LIBRARY [OPTIONAL])
# A cross build skips pkg-config: it would describe this machine's libraries, not the target's.
function(velorin_find_dependency name module header lib)
  cmake_parse_arguments(D "OPTIONAL" "" "" ${ARGN})
  if(TARGET velorin::${name})
    return()
  endif()
  if(PKG_CONFIG_FOUND AND NOT CMAKE_CROSSCOMPILING)
    pkg_check_modules(velorin_pc_${name} QUIET IMPORTED_TARGET ${module})
    if(velorin_pc_${name}_FOUND)
      add_library(velorin::${name} INTERFACE IMPORTED)
      target_link_libraries(velorin::${name} INTERFACE PkgConfig::velorin_pc_${name})
      message(STATUS "${name}: pkg-config ${module} ${velorin_pc_${name}_VERSION}")
      return()
    endif()
  endif()
  find_path(${name}_INCLUDE_DIR ${header})
  find_library(${name}_LIBRARY ${lib})
  if(NOT ${name}_INCLUDE_DIR OR NOT ${name}_LIBRARY)
    if(D_OPTIONAL)
      return()
    endif()
    message(FATAL_ERROR "${name} not found (header ${header}, library ${lib}); run scripts/install-deps")
  endif()
  add_library(velorin::${name} UNKNOWN IMPORTED)
  set_target_properties(velorin::${name} PROPERTIES
    IMPORTED_LOCATION ${${name}_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${${name}_INCLUDE_DIR})
  message(STATUS "${name}: ${${name}_LIBRARY}")
endfunction()

velorin_find_dependency(speex speex speex/speex.h speex)
velorin_find_dependency(ogg ogg ogg/ogg.h ogg)
# Debian's libsonic-dev ships no pkg-config module; the search finds it.
velorin_find_dependency(sonic sonic sonic.h sonic)
# Only the voice builder and the benchmark need espeak-ng.
velorin_find_dependency(espeak_ng espeak-ng espeak-ng/speak_lib.h espeak-ng OPTIONAL)

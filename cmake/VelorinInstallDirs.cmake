# Where an installation puts things, and what the installed programs are told about it.
include(GNUInstallDirs)

# The library's soname version: raised only when an entry, a signature or the meaning of a
# parameter changes incompatibly (new parameters and entries keep it).
set(VELORIN_SOVERSION 0)

# The voices, which the hosts list and speak with (velorin-say, sd_velorin).
set(VELORIN_INSTALLED_VOICE_DIR ${CMAKE_INSTALL_FULL_DATADIR}/velorin/voices)

# speech-dispatcher looks for modules in its own folder, and for their configuration beside its own.
if(NOT DEFINED VELORIN_SPEECHD_MODULE_DIR)
  if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    set(VELORIN_SPEECHD_MODULE_DIR /usr/lib/speech-dispatcher-modules)
  else()
    set(VELORIN_SPEECHD_MODULE_DIR ${CMAKE_INSTALL_PREFIX}/lib/speech-dispatcher-modules)
  endif()
endif()
if(NOT DEFINED VELORIN_SPEECHD_CONFIG_DIR)
  set(VELORIN_SPEECHD_CONFIG_DIR ${CMAKE_INSTALL_FULL_SYSCONFDIR}/speech-dispatcher/modules)
endif()

# Installed programs that link the library find it in the library folder; outside the system's
# own folders they carry its path.
if(NOT WIN32)
  list(FIND CMAKE_PLATFORM_IMPLICIT_LINK_DIRECTORIES "${CMAKE_INSTALL_FULL_LIBDIR}" _velorin_system_libdir)
  if(_velorin_system_libdir EQUAL -1)
    set(CMAKE_INSTALL_RPATH ${CMAKE_INSTALL_FULL_LIBDIR})
  endif()
endif()

# Debian packages made with CPack from the install rules (scripts/build-deb runs it):
#   velorin                   the library, its header and pkg-config module, velorin-say,
#                             velorin-voice, the speech-dispatcher module and its configuration
#   velorin-voice-vi-default  the default voice, which is data for every architecture
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velorin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Velorin developers <velorin@example.invalid>")
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime voice)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_STRIP_FILES TRUE)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME velorin)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "Vietnamese text-to-speech engine, with a speech-dispatcher module
Velorin speaks Vietnamese by joining recorded syllables, after reading numbers,
abbreviations, symbols and common English words the way a person reads them.

This package holds the engine library with its C header and pkg-config module,
velorin-say (text to WAV), velorin-voice (builds and checks voices) and sd_velorin,
the speech-dispatcher output module through which Orca and spd-say speak Vietnamese.")
# The libraries it links come from dpkg-shlibdeps; a voice is needed to speak at all.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_INSTALL_FULL_LIBDIR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "velorin-voice-vi-default | velorin-voice")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_RECOMMENDS speech-dispatcher)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SUGGESTS orca)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# The module's configuration is the administrator's to edit: a conffile, kept on remove, gone on purge.
file(WRITE ${CMAKE_BINARY_DIR}/packaging/conffiles "${VELORIN_SPEECHD_CONFIG_DIR}/velorin.conf\n")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/packaging/conffiles)

set(CPACK_DEBIAN_VOICE_PACKAGE_NAME velorin-voice-vi-default)
set(CPACK_DEBIAN_VOICE_PACKAGE_ARCHITECTURE all)
set(CPACK_DEBIAN_VOICE_PACKAGE_PROVIDES velorin-voice)
set(CPACK_DEBIAN_VOICE_DESCRIPTION "default Vietnamese voice for Velorin
vi-default: every Vietnamese syllable of Velorin's inventory in four positions (alone,
first, inside and last in a run of words), recorded from espeak-ng's Vietnamese voice.")

install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT runtime)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/velorin-voice-vi-default COMPONENT voice)

include(CPack)

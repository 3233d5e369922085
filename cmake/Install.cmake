# What `cmake --install` puts in place, in two components:
#   tools  bin/zorellz, bin/tessaline-update, their man pages (made with
#          help2man from --help and --version) and the bash completion of
#          zorellz;
#   dev    the public headers, the libraries, the CMake package
#          (find_package(zorellz 1 CONFIG) gives zorellz::archive and the
#          per-layer targets) and zorellz.pc for pkg-config.
# cpack -G DEB makes one Debian package of each (cmake/Package.cmake).
include(CMakePackageConfigHelpers)

set(ZORELLZ_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/zorellz)

# ---- dev ---------------------------------------------------------------------
install(TARGETS zorellz_platform zorellz_codec zorellz_engine zorellz_component
                zorellz_archive_package
        EXPORT zorellzTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT dev)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/ ${PROJECT_BINARY_DIR}/include/
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev
        FILES_MATCHING PATTERN "*.h")
install(EXPORT zorellzTargets NAMESPACE zorellz:: DESTINATION ${ZORELLZ_CMAKE_DIR} COMPONENT dev)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/zorellzConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/zorellzConfig.cmake
                              INSTALL_DESTINATION ${ZORELLZ_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/zorellzConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/zorellzConfig.cmake ${PROJECT_BINARY_DIR}/zorellzConfigVersion.cmake
        DESTINATION ${ZORELLZ_CMAKE_DIR} COMPONENT dev)

# The layers in link order: each after those that use it.
set(ZORELLZ_PC_LIBS "-lzorellz_component -lzorellz_engine -lzorellz_codec -lzorellz_platform")
if(CMAKE_USE_PTHREADS_INIT)
  string(APPEND ZORELLZ_PC_LIBS " -pthread")
endif()
file(RELATIVE_PATH ZORELLZ_PC_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" ZORELLZ_PC_PREFIX "${ZORELLZ_PC_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/zorellz.pc.in ${PROJECT_BINARY_DIR}/zorellz.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/zorellz.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)

# ---- tools -------------------------------------------------------------------
set(ZORELLZ_TOOLS)
if(ZORELLZ_BUILD_CLI)
  list(APPEND ZORELLZ_TOOLS zorellz)
  install(FILES ${PROJECT_SOURCE_DIR}/cli/zorellz.bash-completion
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
          RENAME zorellz COMPONENT tools)
endif()
if(ZORELLZ_BUILD_UI)
  list(APPEND ZORELLZ_TOOLS tessaline-update)
endif()
if(ZORELLZ_TOOLS)
  install(TARGETS ${ZORELLZ_TOOLS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
endif()

# Man pages, when help2man is there and the tools run on this machine.
find_program(ZORELLZ_HELP2MAN help2man)
set(ZORELLZ_MAN_zorellz "archives of the ZrlLZ format")
set(ZORELLZ_MAN_tessaline-update "install a Tessaline database update")
if(ZORELLZ_TOOLS AND ZORELLZ_HELP2MAN AND NOT CMAKE_CROSSCOMPILING)
  foreach(tool ${ZORELLZ_TOOLS})
    set(page ${PROJECT_BINARY_DIR}/man/${tool}.1)
    add_custom_command(OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
      COMMAND ${ZORELLZ_HELP2MAN} --no-info --no-discard-stderr
              --name=${ZORELLZ_MAN_${tool}} --output=${page} $<TARGET_FILE:${tool}>
      COMMAND gzip -9nf ${page}
      DEPENDS ${tool}
      COMMENT "Writing the man page of ${tool}"
      VERBATIM)
    list(APPEND ZORELLZ_MAN_PAGES ${page}.gz)
  endforeach()
  add_custom_target(zorellz_man_pages ALL DEPENDS ${ZORELLZ_MAN_PAGES})
  install(FILES ${ZORELLZ_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)
elseif(ZORELLZ_TOOLS AND NOT CMAKE_CROSSCOMPILING)
  message(STATUS "help2man not found: the tools are installed without man pages")
endif()

# The copyright file of each package names the licence.
configure_file(${PROJECT_SOURCE_DIR}/cmake/copyright.in ${PROJECT_BINARY_DIR}/copyright @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zorellz COMPONENT tools)
install(FILES ${PROJECT_BINARY_DIR}/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/libzorellz-dev COMPONENT dev)

include(${PROJECT_SOURCE_DIR}/cmake/Package.cmake)

# The library's tests for Windows, run by CTest under the emulator of the
# tool chain file (wine).  GoogleTest is built from Debian's sources for the
# cross tool chain.  Each test program is one CTest test: a start of wine
# costs far more than a test case, so cases are not listed one by one.
set(ZORELLZ_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
add_subdirectory(${ZORELLZ_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# GoogleTest's own code is not held to the project's warnings.
foreach(target gtest gtest_main)
  target_compile_options(${target} PRIVATE -w)
endforeach()

add_library(zorellz_testsupport STATIC TestSupport.cpp ArchiveBuilder.cpp)
target_link_libraries(zorellz_testsupport PUBLIC zorellz_archive gtest)
target_compile_definitions(zorellz_testsupport PUBLIC
  ZORELLZ_CORPUS_DIR="${PROJECT_SOURCE_DIR}/../shared/corpus"
  ZORELLZ_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data")

# Tests of POSIX-only behaviour, left out of the Windows run:
set(ZORELLZ_POSIX_ONLY_TESTS
  # write leases and the open files under /proc; Windows has its own
  # sharing-mode check, tested in win32/
  file_in_use_test
  # full disks made with a size-limited tmpfs mount and RLIMIT_FSIZE in
  # forked children
  span_write_test
)

file(GLOB ZORELLZ_TEST_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/win32/*_test.cpp)
foreach(source ${ZORELLZ_TEST_SOURCES})
  get_filename_component(name ${source} NAME_WE)
  if(name IN_LIST ZORELLZ_POSIX_ONLY_TESTS)
    continue()
  endif()
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE zorellz_testsupport gtest_main)
  add_test(NAME ${name} COMMAND ${name})
endforeach()

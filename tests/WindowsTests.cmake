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
  ZORELLZ_FUZZ_CORPUS_DIR="${PROJECT_SOURCE_DIR}/fuzz/corpus")

# Tests of POSIX-only behaviour, left out of the Windows run:
set(ZORELLZ_POSIX_ONLY_TESTS
  # write leases and the open files under /proc; Windows has its own
  # sharing-mode check, tested in win32/
  file_in_use_test
  # full disks made with a size-limited tmpfs mount and RLIMIT_FSIZE in
  # forked children
  span_write_test
  # the updater's POSIX helpers (folder locks with flock, ownership with
  # fchown, leases); the updater is not built for Windows
  update_support_test
  # the tool as a process: pseudo-terminals, pipes and POSIX signals
  cli_tool_test
  cli_guard_test
  # interrupted commands (POSIX signals to forked children) and full disks
  # made with RLIMIT_FSIZE
  interrupt_test
  mended_faults_test
)

# Cases of POSIX-only behaviour, or too slow under wine, left out of the
# Windows run of their program (GoogleTest filters):
set(ZORELLZ_WINDOWS_SKIPPED_CASES
  # Paths shown with the POSIX separator, the native one there.
  cli_text_test:EntryText.SavedShareIsLabelledAndPathsAreNative
  # Generated input names that only POSIX file systems can create (the
  # inputs themselves are made natively before they are archived).
  name_rule_test:NameRoundTrip.EveryNameIsExtractedByteForByteOrNamedAsLeftOut
  # Native names that are not UTF-8, or that hold a backslash, exist only on
  # POSIX; ExpandFileName is checked against POSIX path text.
  names_test:ArchivePath.RefusesUnrepresentableNativeNames
  names_test:PathText.ExpandFileNameIsAbsoluteAndNormal
  create_collect_test:CollectTest.NamesOutsideTheCodePageAreLeftOutByName
  # Other names of the same file made with symbolic links, which need a
  # privilege on Windows.
  compress_file_test:CompressFileTest.RefusesInputThatIsTheOutput
  sfx_read_test:SfxReadTest.CopyNeverReplacesItsOwnInput
  # Execute permission bits.
  sfx_create_test:SfxCreateTest.IsExecutableExactlyWhenTheStubIs
  # Folders replaced by symbolic links, which need a privilege on Windows.
  extract_write_test:ExtractWriteTest.FolderTurnedLinkIsRefusedByName
  extract_write_test:ExtractWriteTest.FolderEntryThatIsALinkIsNamed
  extract_write_test:ExtractWriteTest.FolderSwappedForLinkNeverLeadsOutside
  # The test shortens the archive while the engine reads it; Windows refuses
  # that while the reader denies writers, as the engine asks.
  extract_test:ExtractTest.ArchiveEndingEarlyIsCorruptAndKeepsEarlierFiles
  # The test removes an extracted read-only file with std::filesystem,
  # which Windows refuses for read-only files.
  extract_test:ExtractTest.CommentIsSkippedUnlessSelectedByNumber
  list_test:SingleEntryTest.ByNumberTakesTheCommentThatAllFilesSkip
  # A path longer than MAX_PATH, which the test's own std::filesystem calls
  # cannot reach on Windows (the library reaches it through \\?\).
  create_collect_test:CollectTest.LongListLineIsUsedWhole
  # Each makes more than 8,192 files, minutes under wine; the entry limit is
  # the engine's own, the same on both systems.
  create_collect_test:CollectTest.EntryLimitLeavesTheRestOutByName
  create_collect_test:CollectTest.ListKeepsAtMostTheEntryLimit
  create_collect_test:CollectTest.FolderWithoutRoomForItsParentIsLeftOut
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
  set(skipped)
  foreach(entry ${ZORELLZ_WINDOWS_SKIPPED_CASES})
    if(entry MATCHES "^${name}:(.*)$")
      list(APPEND skipped ${CMAKE_MATCH_1})
    endif()
  endforeach()
  if(skipped)
    list(JOIN skipped ":" skipped)
    add_test(NAME ${name} COMMAND ${name} --gtest_filter=-${skipped})
  else()
    add_test(NAME ${name} COMMAND ${name})
  endif()
endforeach()
# The text of the commands is tested without running the tool.
find_package(nlohmann_json REQUIRED)
target_sources(cli_text_test PRIVATE ${PROJECT_SOURCE_DIR}/cli/DirectoryText.cpp
                                     ${PROJECT_SOURCE_DIR}/cli/EntryText.cpp
                                     ${PROJECT_SOURCE_DIR}/cli/SpanText.cpp)
target_link_libraries(cli_text_test PRIVATE nlohmann_json::nlohmann_json)

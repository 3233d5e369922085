# The archive library as four layers, each a library of its own that links
# only the layer below it, so that the linker refuses a call that skips the
# layering:
#     zorellz_platform <- zorellz_codec <- zorellz_engine <- zorellz_component
# zorellz::archive (target zorellz_archive_package) links them all, as a
# program that embeds the library uses it.  Sources are taken per layer
# folder, so a new file lands in its layer by where it is.
#
# Public headers are under include/zorellz/; the headers beside the sources
# are the project's own and reach only the programs and tests of this tree.
# Shared layers export what the public headers declare and what the layers
# above use (the headers marked by zorellz/platform/Export.h), and hide the
# rest; the tree's programs and tests then link zorellz_archive, a static
# library of every layer that keeps the internal symbols they use.
find_package(Threads REQUIRED)

if(WIN32)
  set(ZORELLZ_PLATFORM_SYSTEM win32)
else()
  set(ZORELLZ_PLATFORM_SYSTEM posix)
endif()

# The version of the library, as ZORELLZ_VERSION and zorellz::Version().
configure_file(${PROJECT_SOURCE_DIR}/cmake/Version.h.in
               ${PROJECT_BINARY_DIR}/include/zorellz/platform/Version.h @ONLY)

# Usage requirements of a layer, and of the static whole made of them.
function(zorellz_layer_requirements target)
  target_compile_features(${target} PUBLIC cxx_std_20)
  target_include_directories(${target} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
    $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/include>
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
endfunction()

# zorellz_add_layer(LAYER DEPENDS... ): zorellz_LAYER, alias zorellz::LAYER,
# from the sources in ZORELLZ_<LAYER>_SOURCES.
function(zorellz_add_layer layer)
  set(target zorellz_${layer})
  string(TOUPPER ${layer} upper)
  add_library(${target} ${ZORELLZ_${upper}_SOURCES})
  add_library(zorellz::${layer} ALIAS ${target})
  zorellz_layer_requirements(${target})
  target_link_libraries(${target} PUBLIC ${ARGN})
  set_target_properties(${target} PROPERTIES
    EXPORT_NAME ${layer}
    VERSION ${PROJECT_VERSION}
    SOVERSION ${PROJECT_VERSION_MAJOR})
  if(BUILD_SHARED_LIBS)
    # A symbol the layer above needs but this one hides fails at link time.
    set_target_properties(${target} PROPERTIES
      CXX_VISIBILITY_PRESET hidden
      VISIBILITY_INLINES_HIDDEN ON)
    if(NOT WIN32)
      target_link_options(${target} PRIVATE -Wl,-z,defs)
    endif()
  endif()
endfunction()

file(GLOB ZORELLZ_PLATFORM_SOURCES CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/platform/*.cpp ${PROJECT_SOURCE_DIR}/platform/${ZORELLZ_PLATFORM_SYSTEM}/*.cpp)
file(GLOB ZORELLZ_CODEC_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/archive/codec/*.cpp)
file(GLOB ZORELLZ_ENGINE_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/archive/engine/*.cpp)
file(GLOB ZORELLZ_COMPONENT_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/archive/component/*.cpp)

zorellz_add_layer(platform)
zorellz_add_layer(codec zorellz_platform Threads::Threads)
zorellz_add_layer(engine zorellz_codec Threads::Threads)
zorellz_add_layer(component zorellz_engine)

if(WIN32)
  # Wide-character Windows API throughout; UTF-8 as the narrow text of the
  # whole process, which the platform layer provides in place of the C
  # library's code-page conversion (platform/win32/Utf8Multibyte.cpp): the
  # linker must take that definition before it reaches the C library.
  set(ZORELLZ_WIN32_DEFINITIONS UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  set(ZORELLZ_WIN32_LIBRARIES -Wl,--undefined=mbrtowc advapi32 shell32)
  target_compile_definitions(zorellz_platform PUBLIC ${ZORELLZ_WIN32_DEFINITIONS})
  target_link_libraries(zorellz_platform PUBLIC ${ZORELLZ_WIN32_LIBRARIES})
endif()

add_library(zorellz_archive_package INTERFACE)
add_library(zorellz::archive ALIAS zorellz_archive_package)
target_link_libraries(zorellz_archive_package INTERFACE zorellz_component)
set_target_properties(zorellz_archive_package PROPERTIES EXPORT_NAME archive)

if(BUILD_SHARED_LIBS)
  # Built only for the programs and tests that link it.
  add_library(zorellz_archive STATIC EXCLUDE_FROM_ALL
              ${ZORELLZ_PLATFORM_SOURCES} ${ZORELLZ_CODEC_SOURCES}
              ${ZORELLZ_ENGINE_SOURCES} ${ZORELLZ_COMPONENT_SOURCES})
  zorellz_layer_requirements(zorellz_archive)
  target_link_libraries(zorellz_archive PUBLIC Threads::Threads)
  if(WIN32)
    target_compile_definitions(zorellz_archive PUBLIC ${ZORELLZ_WIN32_DEFINITIONS})
    target_link_libraries(zorellz_archive PUBLIC ${ZORELLZ_WIN32_LIBRARIES})
  endif()
else()
  add_library(zorellz_archive INTERFACE)
  target_link_libraries(zorellz_archive INTERFACE zorellz_archive_package)
endif()

# The header-only libraries of the build machine (CLI11, nlohmann-json) for a
# cross build.  Their own package files point at /usr/include, which must
# not reach a compiler for another system, so each is offered through a
# folder of its own that holds only its headers, by a small package file
# that find_package() takes through <Package>_DIR.
function(zorellz_offer_header_library package target header_folder)
  set(root ${CMAKE_BINARY_DIR}/cross-headers/${package})
  file(MAKE_DIRECTORY ${root}/include)
  get_filename_component(name ${header_folder} NAME)
  file(CREATE_LINK ${header_folder} ${root}/include/${name} SYMBOLIC)
  file(WRITE ${root}/${package}Config.cmake
    "if(NOT TARGET ${target})\n"
    "  add_library(${target} INTERFACE IMPORTED)\n"
    "  set_target_properties(${target} PROPERTIES\n"
    "    INTERFACE_INCLUDE_DIRECTORIES ${root}/include)\n"
    "endif()\n")
  set(${package}_DIR ${root} CACHE PATH "Package file of ${package} for the cross build" FORCE)
endfunction()

zorellz_offer_header_library(CLI11 CLI11::CLI11 /usr/include/CLI)
zorellz_offer_header_library(nlohmann_json nlohmann_json::nlohmann_json /usr/include/nlohmann)

# Debian packages, made by `cpack -G DEB` in the build folder:
#   zorellz_<version>_amd64.deb         the tools (component tools)
#   libzorellz-dev_<version>_amd64.deb  headers, libraries, CMake and
#                                       pkg-config files (component dev)
# Depends comes from the libraries the tools link (dpkg-shlibdeps).
set(CPACK_PACKAGE_NAME zorellz)
set(CPACK_PACKAGE_VENDOR "The zorellz developers")
set(CPACK_PACKAGE_CONTACT "The zorellz developers <zorellz@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# Each package's description starts with a summary of its own; CPack would
# put the project's summary before it unless the summary is CPack's default.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_NAME} built using CMake")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_COMPONENTS_ALL tools dev)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME zorellz)
set(CPACK_DEBIAN_TOOLS_DESCRIPTION
    "archives of the ZrlLZ format: the zorellz archiver and the tessaline-update updater\n\
zorellz creates, lists, tests and extracts archives, self-extracting files and\n\
single compressed files; tessaline-update installs a Tessaline database update.\n\
License: MIT.")
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libzorellz-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_DESCRIPTION
    "archives of the ZrlLZ format: the C++20 library for development\n\
Headers, libraries, a CMake package (find_package(zorellz)) and a pkg-config\n\
file (zorellz.pc) for programs that embed the archive library.\n\
License: MIT.")
include(CPack)

# The CMake package of the release ZIP for hosts (find_package(QP240Remote
# CONFIG)): its config file names the DLLs (KOLMAR_DLLS), and its version file
# accepts a request of this major version only, since a new major is a change
# of the calling contract. tools/package.sh puts both into lib/cmake/QP240Remote/
# of the ZIP, beside the import libraries; neither names a folder of this
# machine, so the ZIP stays the same wherever it is made.
include(CMakePackageConfigHelpers)

set(KOLMAR_HOST_PACKAGE_DIR ${PROJECT_BINARY_DIR}/host-package)
configure_package_config_file(cmake/QP240RemoteConfig.cmake.in
    ${KOLMAR_HOST_PACKAGE_DIR}/QP240RemoteConfig.cmake
    INSTALL_DESTINATION lib/cmake/QP240Remote NO_SET_AND_CHECK_MACRO)
write_basic_package_version_file(${KOLMAR_HOST_PACKAGE_DIR}/QP240RemoteConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)

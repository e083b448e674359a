# What `cmake --install` puts in place: the core static library with its
# public headers, a CMake package (find_package(settingsstore) gives
# settingsstore::settingsstore) and settingsstore.pc, the loadable library,
# settingsctl and its manual page.
include(CMakePackageConfigHelpers)

set(SETTINGSSTORE_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/settingsstore)
set(SETTINGSSTORE_INCLUDE_DIR ${CMAKE_INSTALL_INCLUDEDIR}/settingsstore)

set_target_properties(settingsstore_core PROPERTIES EXPORT_NAME settingsstore)
set_target_properties(settingsstore PROPERTIES EXPORT_NAME module)

# The headers keep their folders, so that they include each other as in the tree.
set(public_headers
  profile/profile.h
  settings/profile_key.h
  settings/registry_key.h
  support/byte_string.h
  platform/platform.h)
if(NOT WIN32)
  list(APPEND public_headers
    platform/posix/win32_base.h
    platform/posix/win32_registry.h
    platform/posix/win32_resources.h
    platform/posix/win32_text.h)
endif()
foreach(header ${public_headers})
  get_filename_component(folder ${header} DIRECTORY)
  install(FILES src/${header} DESTINATION ${SETTINGSSTORE_INCLUDE_DIR}/${folder})
endforeach()

install(TARGETS settingsstore_core settingsstore EXPORT settingsstoreTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS settingsctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(EXPORT settingsstoreTargets NAMESPACE settingsstore::
  DESTINATION ${SETTINGSSTORE_CMAKE_DIR})

if(WIN32)
  set(SETTINGSSTORE_FIND_DEPENDENCIES "")
  set(SETTINGSSTORE_PC_REQUIRES "")
  set(SETTINGSSTORE_PC_LIBS "-ladvapi32 -luser32 -lkernel32")
else()
  set(SETTINGSSTORE_FIND_DEPENDENCIES "find_dependency(SQLite3)\nfind_dependency(Threads)")
  set(SETTINGSSTORE_PC_REQUIRES "sqlite3")
  set(SETTINGSSTORE_PC_LIBS "-pthread")
  if(CMAKE_DL_LIBS)
    set(SETTINGSSTORE_PC_LIBS "-pthread -l${CMAKE_DL_LIBS}")
  endif()
endif()
configure_package_config_file(cmake/settingsstoreConfig.cmake.in
  ${CMAKE_BINARY_DIR}/settingsstoreConfig.cmake INSTALL_DESTINATION ${SETTINGSSTORE_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/settingsstoreConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/settingsstoreConfig.cmake
  ${CMAKE_BINARY_DIR}/settingsstoreConfigVersion.cmake DESTINATION ${SETTINGSSTORE_CMAKE_DIR})
# Relative to the .pc file, so that the package may be installed anywhere.
file(RELATIVE_PATH SETTINGSSTORE_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(cmake/settingsstore.pc.in ${CMAKE_BINARY_DIR}/settingsstore.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/settingsstore.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The manual page is made from the same text as docs/settingsctl.md.
find_program(AWK_PROGRAM NAMES awk mawk gawk REQUIRED)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/settingsctl.1
  COMMAND ${AWK_PROGRAM} -v version=${PROJECT_VERSION}
          -f ${PROJECT_SOURCE_DIR}/cmake/markdown-to-man.awk
          ${PROJECT_SOURCE_DIR}/docs/settingsctl.md > ${CMAKE_BINARY_DIR}/settingsctl.1
  DEPENDS ${PROJECT_SOURCE_DIR}/docs/settingsctl.md ${PROJECT_SOURCE_DIR}/cmake/markdown-to-man.awk
  VERBATIM)
add_custom_target(settingsctl-manual ALL DEPENDS ${CMAKE_BINARY_DIR}/settingsctl.1)
install(FILES ${CMAKE_BINARY_DIR}/settingsctl.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

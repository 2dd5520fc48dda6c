# Installation as a desktop application, and the Debian package CPack makes of it.
#
# The programs read config.ini (and the About window the README) from their own folder, so all of
# them live together in one private folder, lib/tessaline; bin/ only holds relative links to them.
# Each program resolves its folder through the link (/proc/self/exe), so the links work from
# anywhere and the installed tree can be moved as a whole.
#
# Only the component "tessaline" is the program; "debian" adds the files Debian wants in
# /usr/share/doc and is installed only by CPack. Tests, benchmarks and tools install nothing.

set(TESS_APP_ID io.github.tessaline.Tessaline)
set(TESS_PRIVATE_DIR lib/tessaline)
set(TESS_PACKAGE_MAINTAINER "The Tessaline developers <tessaline@example.org>"
    CACHE STRING "Maintainer field of the Debian package")

# A umask of 002 must not leave group-writable folders in the package.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(_tess_programs tessaline-cli)
if(TARGET tessaline)
  list(PREPEND _tess_programs tessaline)
endif()

install(TARGETS ${_tess_programs} RUNTIME DESTINATION ${TESS_PRIVATE_DIR} COMPONENT tessaline)
install(FILES ${PROJECT_SOURCE_DIR}/config/config.ini ${PROJECT_SOURCE_DIR}/README.md
        DESTINATION ${TESS_PRIVATE_DIR} COMPONENT tessaline)

# gzip -n: no name or time stamp inside, so the package is the same on every build.
find_program(TESS_GZIP gzip REQUIRED)
function(tess_gzip_configured source output)
  configure_file(${source} ${output} @ONLY)
  execute_process(COMMAND ${TESS_GZIP} -9 -n -c ${output} OUTPUT_FILE ${output}.gz
                  COMMAND_ERROR_IS_FATAL ANY)
endfunction()

foreach(_program IN LISTS _tess_programs)
  tess_gzip_configured(${PROJECT_SOURCE_DIR}/packaging/${_program}.1
                       ${CMAKE_CURRENT_BINARY_DIR}/packaging/${_program}.1)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/${_program}.1.gz
          DESTINATION share/man/man1 COMPONENT tessaline)
endforeach()

# The links are made here once and installed as links.
set(_tess_links_dir ${CMAKE_CURRENT_BINARY_DIR}/install-links)
file(MAKE_DIRECTORY ${_tess_links_dir})
set(_tess_links)
foreach(_program IN LISTS _tess_programs)
  file(CREATE_LINK ../${TESS_PRIVATE_DIR}/${_program} ${_tess_links_dir}/${_program} SYMBOLIC)
  list(APPEND _tess_links ${_tess_links_dir}/${_program})
endforeach()
install(FILES ${_tess_links} DESTINATION bin COMPONENT tessaline)

if(TARGET tessaline)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/${TESS_APP_ID}.desktop
          DESTINATION share/applications COMPONENT tessaline)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/${TESS_APP_ID}.mime.xml
          DESTINATION share/mime/packages RENAME ${TESS_APP_ID}.xml COMPONENT tessaline)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/${TESS_APP_ID}.metainfo.xml
                 ${CMAKE_CURRENT_BINARY_DIR}/packaging/${TESS_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/${TESS_APP_ID}.metainfo.xml
          DESTINATION share/metainfo COMPONENT tessaline)
  # Drawn by tools/artwork at each size (tess_artwork --icons resources/icons).
  foreach(_size 16 22 24 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/program-${_size}.png
            DESTINATION share/icons/hicolor/${_size}x${_size}/apps RENAME ${TESS_APP_ID}.png
            COMPONENT tessaline)
  endforeach()
endif()

# The Debian package.
set(_tess_deb_release 1)
set(TESS_DEB_VERSION ${PROJECT_VERSION}-${_tess_deb_release})
tess_gzip_configured(${PROJECT_SOURCE_DIR}/packaging/changelog.Debian.in
                     ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.Debian)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright
              ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.Debian.gz
        DESTINATION share/doc/tessaline COMPONENT debian EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessaline)
set(CPACK_PACKAGE_VENDOR "The Tessaline developers")
set(CPACK_PACKAGE_CONTACT "${TESS_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_HOMEPAGE_URL https://github.com/tessaline/tessaline)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Only the program and its Debian documents, whatever else the build tree holds.
set(CPACK_INSTALL_CMAKE_PROJECTS
    "${CMAKE_BINARY_DIR};${PROJECT_NAME};tessaline;/"
    "${CMAKE_BINARY_DIR};${PROJECT_NAME};debian;/")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${_tess_deb_release})
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "editor for the sprite files of the Tibia game client
Tessaline opens the sprite files (.spr) of the Tibia game client, with a
hundred thousand sprites and more, and lets you look through them, add,
replace, clone, clear and export sprites as PNG images, and save the file
again for the same client version or another one. Every edit can be undone.
.
The package also holds tessaline-cli, which inspects, verifies, converts,
exports, imports and compares sprite files without a window.")
include(CPack)

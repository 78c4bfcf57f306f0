# The user manual beside the data files, compressed manual pages, the AppStream metadata,
# each package's copyright and changelog, and the Debian packages CPack makes from them:
# lumora-cli (the tool, the data files, the manual; no Qt) and lumora (the window).

# The README is the manual the window's link opens. It travels with the data files, so it
# is found the way they are: beside the program in the build tree, in share/lumora once
# installed.
configure_file(${CMAKE_SOURCE_DIR}/README.md ${LUMORA_BIN_DIR}/README.md COPYONLY)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/lumora COMPONENT cli)

set(LUMORA_PACKAGE_MAINTAINER "Lumora maintainers <maintainers@users.noreply.c-seed-9a93bb9a.example>"
    CACHE STRING "Maintainer named in the packages and their changelog")
set(LUMORA_PACKAGE_RELEASE 1 CACHE STRING "Package revision after the program's version")
set(lumora_deb_version ${PROJECT_VERSION}-${LUMORA_PACKAGE_RELEASE})

# Manual pages and changelogs are installed gzipped, without a name or time stamp in the
# header (-n), so that the same text gives the same bytes. configure_file makes an edit of
# the source run this again.
find_program(LUMORA_GZIP gzip REQUIRED)
set(lumora_pkg_dir ${CMAKE_BINARY_DIR}/packaging)
function(lumora_gzip source name)
  configure_file(${source} ${lumora_pkg_dir}/${name})
  execute_process(COMMAND ${LUMORA_GZIP} -9nf ${lumora_pkg_dir}/${name} COMMAND_ERROR_IS_FATAL ANY)
endfunction()

string(TIMESTAMP lumora_changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
lumora_gzip(${CMAKE_SOURCE_DIR}/man/lumora-cli.1 lumora-cli.1)
lumora_gzip(${CMAKE_SOURCE_DIR}/packaging/changelog.in changelog.Debian)
install(FILES ${lumora_pkg_dir}/lumora-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT cli)
set(lumora_components cli)
if(LUMORA_BUILD_GUI)
  lumora_gzip(${CMAKE_SOURCE_DIR}/man/lumora.1 lumora.1)
  install(FILES ${lumora_pkg_dir}/lumora.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT gui)
  install(FILES gui/example.quarvel.Lumora.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT gui)
  list(APPEND lumora_components gui)
endif()
foreach(component ${lumora_components})
  set(package lumora-cli)
  if(component STREQUAL "gui")
    set(package lumora)
  endif()
  install(FILES packaging/copyright ${lumora_pkg_dir}/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endforeach()

# Only these two packages: anything else installed (a binding, say) stays out of them.
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${lumora_components})
set(CPACK_PACKAGE_NAME lumora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${LUMORA_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${LUMORA_PACKAGE_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SOURCE lumora)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries each program links, found by dpkg-shlibdeps: the tool's list holds no Qt.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_CLI_PACKAGE_NAME lumora-cli)
set(CPACK_DEBIAN_CLI_DESCRIPTION
    "keywords meta tag generator for HTML pages, command-line tool
lumora-cli finds the words that describe an HTML page, weighing each by where
it stands (title, description, headings, bold, tables, ...), drops short and
common words, and writes the page's keywords meta tag within the number of
keywords and bytes allowed. It also lists the ranked words, inserts the tag
into pages in place, and works on whole sites.
.
This package holds the tool, its common-word lists and its manual.")
set(CPACK_DEBIAN_GUI_PACKAGE_NAME lumora)
# The window reads the data files of the tool's package.
set(CPACK_DEBIAN_GUI_PACKAGE_DEPENDS "lumora-cli (= ${lumora_deb_version})")
set(CPACK_DEBIAN_GUI_DESCRIPTION
    "keywords meta tag generator for HTML pages, desktop window
Lumora finds the words that describe an HTML page and writes its keywords meta
tag. This package holds the window: choose a page, set the weights and limits,
and generate, copy or insert the tag, or list the ranked words.")

include(CPack)

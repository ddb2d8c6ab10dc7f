# Installing and packaging. `cmake --install` lays Pabrix out as a desktop
# program under any prefix; `make package` (CPack) turns the same layout into a
# .deb on Linux and a zip on Windows.
#
# The program finds its data beside itself first, then in ../share/pabrix/data
# relative to itself: so the program goes to bin/ and the data to
# share/pabrix/data, literally, whatever GNUInstallDirs would be told.

set(PABRIX_APP_ID org.example.pabrix)
set(PABRIX_HOMEPAGE https://pabrix.example.org)
set(PABRIX_MAINTAINER "Pabrix developers <maintainers@pabrix.example.org>")
set(PABRIX_PACKAGING_DIR ${CMAKE_BINARY_DIR}/packaging)

# `install` and CPack's staging must not start a build of their own: `make
# package` builds first, and a test that packages while the suite runs must not
# rebuild anything under the other tests.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# Every generated data file, by its path under the data folder: stray files a
# run may leave beside the build's program never reach a package.
get_property(data_files GLOBAL PROPERTY PABRIX_ASSET_FILES)
function(pabrix_install_data destination)
  foreach(f ${data_files})
    file(RELATIVE_PATH rel ${PABRIX_DATA_DIR} ${f})
    get_filename_component(sub ${rel} DIRECTORY)
    install(FILES ${f} DESTINATION ${destination}/${sub})
  endforeach()
endfunction()

set(CPACK_PACKAGE_NAME pabrix)
set(CPACK_PACKAGE_VENDOR "Pabrix developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${PABRIX_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "creative play for young children: pegs, monsters, a garden")
set(CPACK_PACKAGE_DESCRIPTION
  "Pabrix greets a child with music and an animated menu and offers three
things to do with the mouse alone: a board of glowing pegs in ten colours,
a monster builder whose monsters can be printed, and a garden where seeds
grow into flowers. Boards, monsters and settings are kept from one game to
the next; a parent sets the volumes, full screen and printing.")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  # One folder to unpack anywhere: the program with its data beside it, a
  # README for the parent and the licence (CR LF, as Notepad wants them). The data files are the
  # ones the native build lists: its generator made them, this build copied
  # its data folder.
  file(STRINGS ${PABRIX_WINDOWS_DATA_LIST} names)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PABRIX_WINDOWS_DATA_LIST})
  set(data_files "")
  foreach(name ${names})
    list(APPEND data_files ${PABRIX_DATA_DIR}/${name})
  endforeach()
  install(TARGETS pabrix RUNTIME DESTINATION .)
  pabrix_install_data(data)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/README.txt.in
    ${PABRIX_PACKAGING_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${PABRIX_PACKAGING_DIR}/LICENSE.txt
    @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PABRIX_PACKAGING_DIR}/README.txt ${PABRIX_PACKAGING_DIR}/LICENSE.txt DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME pabrix-${PROJECT_VERSION}-windows-x64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  install(TARGETS pabrix RUNTIME DESTINATION bin)
  # The print module, where the program looks for it (../lib/pabrix/modules from bin/:
  # a folder of its own, so the package runs no ldconfig for a private module);
  # the package's dependencies on GTK are computed from it.
  install(TARGETS pabrix_print_gtk LIBRARY DESTINATION lib/pabrix/modules)
  pabrix_install_data(share/pabrix/data)
  # Relocations resolved and made read-only at start, as distributions link; and
  # only the libraries the program calls are named, so none is loaded for nothing.
  target_link_options(pabrix PRIVATE LINKER:-z,relro,-z,now LINKER:--as-needed)

  # Menu entry, AppStream data, manual page, icons at the sizes desktops ask
  # for (rendered from the program's own SVG by the asset generator).
  set(src ${PROJECT_SOURCE_DIR}/packaging)
  set(out ${PABRIX_PACKAGING_DIR})
  configure_file(${src}/pabrix.desktop.in ${out}/${PABRIX_APP_ID}.desktop @ONLY)
  configure_file(${src}/pabrix.metainfo.xml.in ${out}/${PABRIX_APP_ID}.metainfo.xml @ONLY)

  set(generated "")
  set(icon_svg ${PROJECT_SOURCE_DIR}/assets/icon/pabrix.svg)
  set(ASSETGEN_RUN ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 $<TARGET_FILE:assetgen>)
  foreach(size 16 32 48 64 128 256)
    set(icon ${out}/icons/${size}x${size}/${PABRIX_APP_ID}.png)
    add_custom_command(OUTPUT ${icon}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${out}/icons/${size}x${size}
      COMMAND ${ASSETGEN_RUN} icon ${icon_svg} ${icon} ${size}
      DEPENDS ${icon_svg} assetgen
      COMMENT "Rendering the ${size}x${size} icon"
      VERBATIM)
    install(FILES ${icon} DESTINATION share/icons/hicolor/${size}x${size}/apps)
    list(APPEND generated ${icon})
  endforeach()
  set(icon ${out}/icons/scalable/${PABRIX_APP_ID}.svg)
  add_custom_command(OUTPUT ${icon}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${out}/icons/scalable
    COMMAND ${ASSETGEN_RUN} icon ${icon_svg} ${icon}
    DEPENDS ${icon_svg} assetgen
    COMMENT "Writing the scalable icon"
    VERBATIM)
  install(FILES ${icon} DESTINATION share/icons/hicolor/scalable/apps)
  list(APPEND generated ${icon})

  # Manual pages and changelogs are shipped compressed, without a time stamp
  # so the same sources give the same bytes.
  foreach(pair "pabrix.6:man6" "changelog:doc")
    string(REPLACE ":" ";" pair ${pair})
    list(GET pair 0 name)
    add_custom_command(OUTPUT ${out}/${name}.gz
      COMMAND sh -c "gzip -9n -c '${src}/${name}' > '${out}/${name}.gz'"
      DEPENDS ${src}/${name}
      COMMENT "Compressing ${name}"
      VERBATIM)
    list(APPEND generated ${out}/${name}.gz)
  endforeach()
  add_custom_target(desktop_integration ALL DEPENDS ${generated})

  install(FILES ${out}/${PABRIX_APP_ID}.desktop DESTINATION share/applications)
  install(FILES ${out}/${PABRIX_APP_ID}.metainfo.xml DESTINATION share/metainfo)
  install(FILES ${out}/pabrix.6.gz DESTINATION share/man/man6)
  install(FILES ${src}/copyright ${out}/changelog.gz DESTINATION share/doc/pabrix)

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION education)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${PABRIX_MAINTAINER})
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PABRIX_HOMEPAGE})
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)

# The installed tree (any prefix; the programs find their data from bin/ as ../share/...) and the
# Debian package made from it.
#
#   bin/                          pictorva, pictorva-cli, vedivade
#   share/pictorva/               FileSetting.txt, the default signature set
#   share/doc/pictorva/           the user guide Help opens
#   share/applications/ share/metainfo/ share/icons/hicolor/   desktop entry, AppStream data, icons
#   share/polkit-1/actions/       the action "Run as administrator" restarts the wizard through
#   share/man/man1/ share/bash-completion/completions/

set(PICTORVA_APP_ID org.pictorva.Pictorva)
set(PICTORVA_DATA_DIR ${CMAKE_INSTALL_DATAROOTDIR}/pictorva)
set(PICTORVA_GUIDE_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/pictorva)
set(desktop_src ${PROJECT_SOURCE_DIR}/data/desktop)
set(generated ${CMAKE_BINARY_DIR}/install-files)

install(TARGETS pictorva-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/data/FileSetting.txt DESTINATION ${PICTORVA_DATA_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/data/man/pictorva.1 ${PROJECT_SOURCE_DIR}/data/man/vedivade.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# pictorva-cli's manual page and bash completion come from the program itself, so they follow
# its commands and options.
find_program(HELP2MAN help2man)
if(HELP2MAN)
  add_custom_command(OUTPUT ${generated}/pictorva-cli.1
    COMMAND ${CMAKE_COMMAND} -E make_directory ${generated}
    COMMAND ${HELP2MAN} --no-info --help-option=--help-all --version-string=${PROJECT_VERSION}
            --name=recover\ photos,\ audio\ and\ video\ from\ disks,\ cards\ and\ disk\ images
            --include=${PROJECT_SOURCE_DIR}/data/man/pictorva-cli.h2m
            --output=${generated}/pictorva-cli.1 $<TARGET_FILE:pictorva-cli>
    DEPENDS pictorva-cli ${PROJECT_SOURCE_DIR}/data/man/pictorva-cli.h2m
    COMMENT "Writing the manual page of pictorva-cli from its --help")
  list(APPEND cli_files ${generated}/pictorva-cli.1)
  install(FILES ${generated}/pictorva-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(WARNING "help2man not found: pictorva-cli's manual page is not made (Debian package help2man)")
endif()
add_custom_command(OUTPUT ${generated}/pictorva-cli.bash
  COMMAND ${CMAKE_COMMAND} -E make_directory ${generated}
  COMMAND $<TARGET_FILE:pictorva-cli> --bash-completion > ${generated}/pictorva-cli.bash
  DEPENDS pictorva-cli
  COMMENT "Writing the bash completion of pictorva-cli from its command table")
list(APPEND cli_files ${generated}/pictorva-cli.bash)
add_custom_target(pictorva_cli_files ALL DEPENDS ${cli_files})
install(FILES ${generated}/pictorva-cli.bash DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions
        RENAME pictorva-cli)

if(TARGET pictorva)
  install(TARGETS pictorva RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${PICTORVA_GUIDE_DIR}
          FILES_MATCHING PATTERN "*.html" PATTERN "*.png" PATTERN "*.css")
  install(FILES ${desktop_src}/${PICTORVA_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
  configure_file(${desktop_src}/${PICTORVA_APP_ID}.metainfo.xml ${generated}/${PICTORVA_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${generated}/${PICTORVA_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
  # pkexec runs only the path the action names: the installed wizard, under the prefix given at
  # install time (cmake --install --prefix, the package's /usr), so it is written then.
  install(CODE "
    set(PICTORVA_INSTALLED_GUI \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/pictorva\")
    configure_file(\"${desktop_src}/${PICTORVA_APP_ID}.policy.in\" \"${generated}/${PICTORVA_APP_ID}.policy\" @ONLY)
    file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATAROOTDIR}/polkit-1/actions\" TYPE FILE
         FILES \"${generated}/${PICTORVA_APP_ID}.policy\")")

  set(icon_svg ${desktop_src}/${PICTORVA_APP_ID}.svg)
  install(FILES ${icon_svg} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
  find_program(RSVG_CONVERT rsvg-convert)
  if(RSVG_CONVERT)
    foreach(size 16 24 32 48 64 128 256)
      set(png ${generated}/icons/${size}x${size}/${PICTORVA_APP_ID}.png)
      add_custom_command(OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${generated}/icons/${size}x${size}
        COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${icon_svg}
        DEPENDS ${icon_svg})
      list(APPEND icon_pngs ${png})
      install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
    add_custom_target(pictorva_icons ALL DEPENDS ${icon_pngs})
  else()
    message(WARNING "rsvg-convert not found: only the scalable icon is installed (Debian package librsvg2-bin)")
  endif()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pictorva)
set(CPACK_PACKAGE_VENDOR "Pictorva developers")
set(CPACK_PACKAGE_CONTACT "Pictorva developers <pictorva@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "recover photos, audio and video from disks, cards and disk images")
set(CPACK_PACKAGE_DESCRIPTION "Desktop wizard and command line that read NTFS, FAT, exFAT, ext2/3/4 and HFS+
volumes, deleted entries included, and carve files by their signatures. The source is only ever read.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The libraries the programs link come from the binaries themselves (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# "Run as administrator" needs pkexec; without it the wizard still reads images and readable drives.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pkexec")
include(CPack)

# Where `cmake --install` puts the command-line flasher, and the package `cpack` makes.
# Windows: one folder, zipped, with the programs and the copy of Liberation Sans named
# Arial.ttf beside them (the window reads its texts' font from its own folder). Linux installs
# its window programs from tools/quelolink; qlflash goes to bin.
set(CPACK_PACKAGE_NAME QueloLink)
set(CPACK_PACKAGE_VENDOR "Quelo Systems")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Firmware updater for the KORVA MultiCopter PCU")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})

if(WIN32)
  install(TARGETS qlflash RUNTIME DESTINATION .)
  foreach(program quelolink quelolink-demo)
    if(TARGET ${program})
      install(TARGETS ${program} RUNTIME DESTINATION .)
    endif()
  endforeach()
  if(TARGET quelolink AND QL_FONT_SOURCE AND EXISTS ${QL_FONT_SOURCE})
    install(FILES ${QL_FONT_SOURCE} DESTINATION . RENAME Arial.ttf)
  endif()
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_PACKAGE_FILE_NAME QueloLink-${PROJECT_VERSION}-win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  include(GNUInstallDirs)
  install(TARGETS qlflash RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  set(CPACK_GENERATOR TGZ)
endif()

include(CPack)

# What `cmake --install` puts under the prefix: the two programs, and for the
# desktop program its desktop file, icons, AppStream metainfo, MIME package
# of the hash lists, completion chime and manual pages; the licence.
#
# Everything the desktop finds the program by carries the application id,
# so the launcher progress ("application://<id>.desktop"), the window's id,
# the desktop file, the icon and the metainfo all agree.
include(GNUInstallDirs)

set(QM_APP_ID com.zantoria.Quorvia)
set(QM_LINUX_DATA ${CMAKE_SOURCE_DIR}/res/linux)

install(TARGETS quorvia-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/docs/man/quorvia-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorvia)

if(QM_BUILD_GUI AND TARGET quorvia)
  install(TARGETS quorvia RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_SOURCE_DIR}/docs/man/quorvia.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${QM_LINUX_DATA}/${QM_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${QM_LINUX_DATA}/${QM_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${QM_LINUX_DATA}/${QM_APP_ID}.mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
          RENAME ${QM_APP_ID}.xml)
  # The icon's images keep their names in res/icons, where the compiled-in
  # resources and scripts/render-icons.sh use them; installed they take the id.
  set(icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
  install(FILES ${CMAKE_SOURCE_DIR}/res/icons/quorvia.svg DESTINATION ${icons}/scalable/apps RENAME ${QM_APP_ID}.svg)
  foreach(size 16 24 32 48 64 128 256)
    install(FILES ${CMAKE_SOURCE_DIR}/res/icons/quorvia-${size}.png DESTINATION ${icons}/${size}x${size}/apps
            RENAME ${QM_APP_ID}.png)
  endforeach()
  # The chime, where the program looks for it: share/quorvia beside bin.
  install(FILES ${CMAKE_SOURCE_DIR}/res/sounds/complete.wav DESTINATION ${CMAKE_INSTALL_DATADIR}/quorvia)

  # Installed straight into a prefix (no DESTDIR staging for a package, whose
  # own triggers do this), the desktop's caches are brought up to date so the
  # list types are known and opened with the program at once. A tool that is
  # missing is skipped: the files are in place, only the caches wait.
  option(QM_INSTALL_UPDATE_CACHES "Update the MIME, desktop and icon caches of the prefix on install" ON)
  if(QM_INSTALL_UPDATE_CACHES)
    set(code [[
      if("$ENV{DESTDIR}" STREQUAL "")
        set(data "${CMAKE_INSTALL_PREFIX}/@CMAKE_INSTALL_DATADIR@")
        find_program(QM_UPDATE_MIME update-mime-database)
        find_program(QM_UPDATE_DESKTOP update-desktop-database)
        find_program(QM_UPDATE_ICONS gtk-update-icon-cache)
        if(QM_UPDATE_MIME)
          message(STATUS "Updating the MIME database: ${data}/mime")
          execute_process(COMMAND "${QM_UPDATE_MIME}" "${data}/mime" RESULT_VARIABLE rc)
          if(NOT rc EQUAL 0)
            message(WARNING "update-mime-database failed (${rc})")
          endif()
        endif()
        if(QM_UPDATE_DESKTOP)
          message(STATUS "Updating the desktop file cache: ${data}/applications")
          execute_process(COMMAND "${QM_UPDATE_DESKTOP}" -q "${data}/applications" RESULT_VARIABLE rc)
          if(NOT rc EQUAL 0)
            message(WARNING "update-desktop-database failed (${rc})")
          endif()
        endif()
        # Only a theme directory with its index has a cache to update.
        if(QM_UPDATE_ICONS AND EXISTS "${data}/icons/hicolor/index.theme")
          execute_process(COMMAND "${QM_UPDATE_ICONS}" -q -t -f "${data}/icons/hicolor")
        endif()
      endif()
    ]])
    string(CONFIGURE "${code}" code @ONLY)
    install(CODE "${code}")
  endif()
endif()

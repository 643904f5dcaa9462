# cmake --install: the staged program folder (the engine, the tools, plugin/, the
# data files, the profile tree and velmo) goes to <prefix>/<libdir>/trivox, with links
# to the programs in <prefix>/bin. The programs find their files beside
# themselves (/proc/self/exe), so the links may live anywhere.
include(GNUInstallDirs)
set(TRIVOX_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/trivox CACHE STRING "Program folder, relative to the prefix")

install(DIRECTORY ${TRIVOX_STAGE_DIR}/ DESTINATION ${TRIVOX_INSTALL_DIR} USE_SOURCE_PERMISSIONS
  # Build-time and test leftovers of the stage, not part of the program.
  PATTERN sample_dvd EXCLUDE
  PATTERN "default_*.dat" EXCLUDE
  PATTERN "sample*.mp[34]" EXCLUDE
  PATTERN mktables EXCLUDE
  PATTERN mkformats EXCLUDE
  PATTERN ".*" EXCLUDE)

set(TRIVOX_LINKED_PROGRAMS trivox_free trivox_job trivox_ctl dvdscan dvdcat velmo velmo-cli)
foreach(program ${TRIVOX_LINKED_PROGRAMS})
  install(CODE "
    set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(MAKE_DIRECTORY \"\${bin}\")
    file(RELATIVE_PATH target \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\"
         \"\${CMAKE_INSTALL_PREFIX}/${TRIVOX_INSTALL_DIR}/${program}\")
    file(CREATE_LINK \"\${target}\" \"\${bin}/${program}\" SYMBOLIC)
    message(STATUS \"Link: \${bin}/${program} -> \${target}\")")
endforeach()

# The front end's menu entry and its icon, the staged program icon in each size.
install(FILES ${CMAKE_SOURCE_DIR}/data/velmo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${TRIVOX_STAGE_DIR}/resource/icon/velmo-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME velmo.png)
endforeach()

# Licence and the list of the libraries the programs link.
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_SOURCE_DIR}/THIRD-PARTY.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

include(cmake/ManPages.cmake)

# Installs the build into a staging folder and checks what a desktop expects
# there; run by CTest as `cmake -DBUILD_DIR=.. -DSTAGE=.. -DAPP_ID=..
# -DPROGRAMS=a;b -DVERSION=.. -P CheckInstall.cmake`: each program's
# --version must name VERSION. The validators run when installed.
file(REMOVE_RECURSE ${STAGE})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${STAGE}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(expected
    share/applications/${APP_ID}.desktop
    share/metainfo/${APP_ID}.metainfo.xml
    share/icons/hicolor/scalable/apps/${APP_ID}.svg
    share/man/man1/keb.1.gz
    share/man/man1/keb-filter.1.gz
    share/doc/keb/copyright
    share/doc/keb/changelog.gz)
foreach(program IN LISTS PROGRAMS)
  list(APPEND expected bin/${program})
endforeach()
foreach(path IN LISTS expected)
  if(NOT EXISTS ${STAGE}/${path})
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()
foreach(program IN LISTS PROGRAMS)
  execute_process(COMMAND ${STAGE}/bin/${program} --version RESULT_VARIABLE result
                  OUTPUT_VARIABLE version)
  string(FIND "${version}" "${VERSION}" at)
  if(NOT result EQUAL 0 OR at EQUAL -1)
    message(FATAL_ERROR "${program} --version: ${result} ${version}")
  endif()
endforeach()

# The installed keb-filter loads its picture module from the installed tree.
set(picture ${STAGE}/installed-filter-waterfall.png)
execute_process(COMMAND ${STAGE}/bin/keb-filter --preset 1.8 --waterfall-out ${picture}
                        ${BUILD_DIR}/tools/demo-recording.wav ${STAGE}/installed-filter.wav
                RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0 OR NOT EXISTS ${picture})
  message(FATAL_ERROR "the installed keb-filter draws no picture: ${result} ${errors}")
endif()

find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
if(DESKTOP_FILE_VALIDATE)
  execute_process(COMMAND ${DESKTOP_FILE_VALIDATE} ${STAGE}/share/applications/${APP_ID}.desktop
                  RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "the desktop entry does not validate")
  endif()
endif()
find_program(APPSTREAMCLI appstreamcli)
if(APPSTREAMCLI)
  execute_process(COMMAND ${APPSTREAMCLI} validate --no-net
                          ${STAGE}/share/metainfo/${APP_ID}.metainfo.xml
                  RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "the metainfo does not validate")
  endif()
endif()

# Installs the build into a temporary prefix and checks what a desktop and a
# software centre read: the desktop entry, the metainfo, the icon, the man
# pages and completion, and that the installed orvell-cli runs.
# cmake -DBUILD=dir -DWORK=dir -P CheckInstall.cmake
file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${WORK}/usr
  RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "install into ${WORK} failed")
endif()
set(share ${WORK}/usr/share)
foreach(f
    ${WORK}/usr/bin/orvell ${WORK}/usr/bin/orvell-cli
    ${share}/applications/org.orvell.Orvell.desktop
    ${share}/metainfo/org.orvell.Orvell.metainfo.xml
    ${share}/icons/hicolor/scalable/apps/org.orvell.Orvell.svg
    ${share}/icons/hicolor/16x16/apps/org.orvell.Orvell.png
    ${share}/icons/hicolor/256x256/apps/org.orvell.Orvell.png
    ${share}/man/man1/orvell.1.gz ${share}/man/man1/orvell-cli.1.gz
    ${share}/doc/orvell/copyright ${share}/doc/orvell/changelog.gz
    ${share}/bash-completion/completions/orvell-cli)
  if(NOT EXISTS ${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()

function(check what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${what} failed:\n${out}${err}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

check("desktop-file-validate" desktop-file-validate ${share}/applications/org.orvell.Orvell.desktop)
check("appstreamcli validate" appstreamcli validate --no-net --explain
  ${share}/metainfo/org.orvell.Orvell.metainfo.xml)

# The installed program runs, and its man page documents every command it has.
check("orvell-cli --help" ${WORK}/usr/bin/orvell-cli --help)
string(REGEX MATCHALL "\n  ([a-z]+)" commands "${output}")
execute_process(COMMAND gzip -dc ${share}/man/man1/orvell-cli.1.gz OUTPUT_VARIABLE man)
file(READ ${share}/bash-completion/completions/orvell-cli completion)
foreach(c IN LISTS commands)
  string(STRIP "${c}" c)
  if(NOT man MATCHES "\\.SS ${c}\n")
    message(FATAL_ERROR "orvell-cli.1 does not document ${c}")
  endif()
  if(NOT completion MATCHES " ${c}\\)")
    message(FATAL_ERROR "the completion does not know ${c}")
  endif()
endforeach()
check("bash -n on the completion" bash -n ${share}/bash-completion/completions/orvell-cli)
file(REMOVE_RECURSE ${WORK})
message(STATUS "installed and checked: ${commands}")

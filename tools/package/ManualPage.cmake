# tessaro_manual_page(<target> "<what it is>")
#
# Builds the section-1 manual page of an installed command from its own --help output
# (help2man; the page is named after the executable and carries the project's version), so that
# the page never drifts from the program, compresses it as Debian
# wants (gzip -9n: no name or time stamp) and installs it under share/man/man1. One line per
# installed command, e.g.
#     tessaro_manual_page(tessaro-coord "frequency coordination from the command line")
# The page is <build>/man/<target>.1.gz; the test manual_pages checks each against --help.
find_program(HELP2MAN_EXECUTABLE help2man)
find_program(GZIP_EXECUTABLE gzip REQUIRED)
include(GNUInstallDirs)
set_property(GLOBAL PROPERTY TESSARO_MANUAL_PAGES "")

function(tessaro_manual_page target summary)
  if(NOT HELP2MAN_EXECUTABLE)
    message(WARNING "help2man is missing (bash tools/setup.sh installs it): no manual page for ${target}")
    return()
  endif()
  set(dir ${PROJECT_BINARY_DIR}/man)
  set(page ${dir}/${target}.1)
  # No display is needed: every command answers --help before it opens anything. In a sanitizer
  # build the leak check at exit would fail the build over what the toolkit keeps until then.
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen LSAN_OPTIONS=detect_leaks=0
      ${HELP2MAN_EXECUTABLE} --no-info --no-discard-stderr --section=1 --name=${summary}
      --version-string=${PROJECT_VERSION}
      --output=${page} $<TARGET_FILE:${target}>
    COMMAND ${GZIP_EXECUTABLE} -9nf ${page}
    DEPENDS ${target}
    COMMENT "Manual page of ${target}"
    VERBATIM)
  add_custom_target(man_${target} ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  set_property(GLOBAL APPEND PROPERTY TESSARO_MANUAL_PAGES ${target})
endfunction()

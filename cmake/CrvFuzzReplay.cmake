# Runs a fuzz program once over every input kept in a regressions folder (libFuzzer's
# file-argument mode) and fails when one of them crashes, leaks, or runs out of time or
# memory. The folder's README and hidden files are not inputs; a folder without inputs passes.
#   cmake -DPROGRAM=path -DFOLDER=dir [-DOPTIONS="libFuzzer flags"] -P CrvFuzzReplay.cmake
if(NOT PROGRAM OR NOT FOLDER)
  message(FATAL_ERROR "usage: cmake -DPROGRAM=path -DFOLDER=dir [-DOPTIONS=flags] -P ${CMAKE_CURRENT_LIST_FILE}")
endif()

file(GLOB inputs LIST_DIRECTORIES false "${FOLDER}/*")
list(FILTER inputs EXCLUDE REGEX "/(README[^/]*|\\.[^/]*)$")
list(LENGTH inputs count)
if(count EQUAL 0)
  message(STATUS "${FOLDER}: no regression inputs")
else()
  list(SORT inputs)
  separate_arguments(options UNIX_COMMAND "${OPTIONS}")
  message(STATUS "${FOLDER}: replaying ${count} input(s)")
  execute_process(COMMAND ${PROGRAM} ${options} ${inputs} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} failed (${result}) on an input of ${FOLDER}; the run above names it")
  endif()
endif()

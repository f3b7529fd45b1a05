# libFuzzer targets, built by clang with AddressSanitizer and UndefinedBehaviorSanitizer:
#   cmake -DCRV_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ ...
#
# crv_add_fuzz_library(LIBRARY)
#   Asks for LIBRARY_fuzzing: the library's sources built again with the sanitizers and the
#   fuzzer's coverage, linking what the library links with every project library in it
#   replaced by its own _fuzzing copy (made too), so no unsanitized copy of our code gets in.
#   The copies are made once the whole tree is configured, when every library has all its
#   sources; a fuzz target whose LIBS name an X_fuzzing asks for it by itself.
#
# crv_add_fuzz_target(NAME SOURCES... [LIBS libs...] CORPUS dir [SECONDS n] [MAX_LEN bytes]
#                     [OPTIONS flags...])
#   The libFuzzer program NAME (which ends in _fuzz) and its two tests, both selected by
#   `ctest -R '_fuzz$'`:
#   - NAME, a short run of SECONDS (default 20) from the corpus folder CORPUS, kept in the
#     repository as <subsystem>/fuzz/corpus/<short name>; what it finds goes to a work
#     folder of the build, never into the sources;
#   - NAME with _regressions before _fuzz: every input kept in
#     <subsystem>/fuzz/regressions/<short name> run once (the folder's README is not one);
#     fails when one crashes, leaks or times out.
#   MAX_LEN (default 4096) bounds the inputs the fuzzer makes; OPTIONS are more libFuzzer
#   flags for every run of the target. tools/fuzz-campaign.sh finds the targets, their
#   folders and these settings in fuzz-targets.tsv of the build.

if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "CRV_FUZZ needs clang: -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++")
endif()

set(CRV_FUZZ_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=undefined)
set(CRV_FUZZ_COMPILE_OPTIONS ${CRV_FUZZ_SANITIZERS} -g -fno-omit-frame-pointer)
# Limits of every run: a slow input or a runaway allocation is a finding, not a hang.
set(CRV_FUZZ_LIMITS -timeout=10 -rss_limit_mb=2048)
set(CRV_FUZZ_REPLAY ${CMAKE_CURRENT_LIST_DIR}/CrvFuzzReplay.cmake)
set(CRV_FUZZ_MANIFEST ${CMAKE_BINARY_DIR}/fuzz-targets.tsv)
file(WRITE ${CRV_FUZZ_MANIFEST} "# target\tprogram\tcorpus\tregressions\tmax_len\toptions\n")

# The copies are made at the top of the tree, so the imported targets our libraries link must
# be visible there: the global crv:: ones, and Threads found here as well.
find_package(Threads REQUIRED)

# Every fuzz target joins this one, so the fuzz build compiles only what it runs.
add_custom_target(crv_fuzzers)

function(crv_add_fuzz_library library)
  set_property(GLOBAL APPEND PROPERTY CRV_FUZZ_LIBRARIES ${library})
endfunction()

# Whether `name` is a static library built from this tree (and not a copy already).
function(_crv_fuzz_is_project_library name result)
  set(${result} OFF PARENT_SCOPE)
  if(NOT TARGET "${name}" OR name MATCHES "_fuzzing$")
    return()
  endif()
  get_target_property(type ${name} TYPE)
  get_target_property(imported ${name} IMPORTED)
  get_target_property(aliased ${name} ALIASED_TARGET)
  get_target_property(dir ${name} SOURCE_DIR)
  string(FIND "${dir}/" "${CMAKE_SOURCE_DIR}/" at)
  if(type STREQUAL "STATIC_LIBRARY" AND NOT imported AND NOT aliased AND at EQUAL 0)
    set(${result} ON PARENT_SCOPE)
  endif()
endfunction()

function(_crv_fuzz_copy library)
  set(copy ${library}_fuzzing)
  if(TARGET ${copy})
    return()
  endif()
  _crv_fuzz_is_project_library(${library} ours)
  if(NOT ours)
    message(FATAL_ERROR "crv_add_fuzz_library(${library}): not a static library of this project")
  endif()
  get_target_property(dir ${library} SOURCE_DIR)
  get_target_property(sources ${library} SOURCES)
  set(copied)
  foreach(source IN LISTS sources)
    if(NOT IS_ABSOLUTE "${source}" AND NOT source MATCHES "^\\$<")
      set(source ${dir}/${source})
    endif()
    list(APPEND copied ${source})
  endforeach()
  # Made before its dependencies, so that a cycle between libraries ends here.
  add_library(${copy} STATIC ${copied})
  foreach(property INCLUDE_DIRECTORIES INTERFACE_INCLUDE_DIRECTORIES COMPILE_DEFINITIONS
                   INTERFACE_COMPILE_DEFINITIONS COMPILE_OPTIONS)
    get_target_property(value ${library} ${property})
    if(value)
      set_property(TARGET ${copy} APPEND PROPERTY ${property} ${value})
    endif()
  endforeach()
  target_compile_options(${copy} PRIVATE ${CRV_FUZZ_COMPILE_OPTIONS} -fsanitize=fuzzer-no-link)

  get_target_property(links ${library} LINK_LIBRARIES)
  if(NOT links)
    set(links)
  endif()
  set(mapped)
  foreach(link IN LISTS links)
    if(link MATCHES "^::@")  # the markers of links made from another folder
      continue()
    endif()
    _crv_fuzz_is_project_library("${link}" ours)
    if(ours)
      _crv_fuzz_copy(${link})
      list(APPEND mapped ${link}_fuzzing)
    else()
      if(link MATCHES "::" AND NOT TARGET "${link}")
        message(FATAL_ERROR "${library} links ${link}, which is not visible at the top of the tree: "
                            "find it in cmake/CrvFuzz.cmake too, or make it GLOBAL")
      endif()
      list(APPEND mapped ${link})
    endif()
  endforeach()
  target_link_libraries(${copy} PUBLIC ${mapped})
endfunction()

function(_crv_fuzz_make_copies)
  get_property(libraries GLOBAL PROPERTY CRV_FUZZ_LIBRARIES)
  list(REMOVE_DUPLICATES libraries)
  foreach(library IN LISTS libraries)
    _crv_fuzz_copy(${library})
  endforeach()
endfunction()
cmake_language(DEFER CALL _crv_fuzz_make_copies)

function(crv_add_fuzz_target name)
  cmake_parse_arguments(F "" "CORPUS;SECONDS;MAX_LEN" "SOURCES;LIBS;OPTIONS" ${ARGN})
  if(NOT name MATCHES "_fuzz$" OR NOT F_CORPUS)
    message(FATAL_ERROR "crv_add_fuzz_target(${name}): the name ends in _fuzz and a CORPUS is given")
  endif()
  if(NOT F_SECONDS)
    set(F_SECONDS 20)
  endif()
  if(NOT F_MAX_LEN)
    set(F_MAX_LEN 4096)
  endif()
  get_filename_component(corpus ${F_CORPUS} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  get_filename_component(short ${corpus} NAME)
  # Regressions live beside the corpus: <dir>/fuzz/corpus/<name> and <dir>/fuzz/regressions/<name>.
  get_filename_component(corpora ${corpus} DIRECTORY)
  get_filename_component(fuzz_dir ${corpora} DIRECTORY)
  set(regressions ${fuzz_dir}/regressions/${short})
  foreach(folder ${corpus} ${regressions})
    if(NOT IS_DIRECTORY ${folder})
      message(FATAL_ERROR "crv_add_fuzz_target(${name}): no folder ${folder}")
    endif()
  endforeach()

  add_executable(${name} ${F_SOURCES} ${F_UNPARSED_ARGUMENTS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${CRV_FUZZ_COMPILE_OPTIONS} -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE ${CRV_FUZZ_SANITIZERS} -fsanitize=fuzzer)
  foreach(lib IN LISTS F_LIBS)
    if(lib MATCHES "^(.+)_fuzzing$")
      crv_add_fuzz_library(${CMAKE_MATCH_1})
    endif()
  endforeach()
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  add_dependencies(crv_fuzzers ${name})

  set(flags ${CRV_FUZZ_LIMITS} ${F_OPTIONS})
  set(work ${CMAKE_BINARY_DIR}/fuzz-work/${name})
  file(MAKE_DIRECTORY ${work}/corpus ${work}/artifacts)
  add_test(NAME ${name}
    COMMAND ${name} -max_total_time=${F_SECONDS} -max_len=${F_MAX_LEN} ${flags}
            -artifact_prefix=${work}/artifacts/ ${work}/corpus ${corpus}
    WORKING_DIRECTORY ${work})
  math(EXPR timeout "${F_SECONDS} + 120")
  set_tests_properties(${name} PROPERTIES TIMEOUT ${timeout})

  string(REGEX REPLACE "_fuzz$" "_regressions_fuzz" replay ${name})
  string(REPLACE ";" " " flag_text "${flags}")
  add_test(NAME ${replay}
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${name}> -DFOLDER=${regressions}
            "-DOPTIONS=${flag_text}" -P ${CRV_FUZZ_REPLAY}
    WORKING_DIRECTORY ${work})
  set_tests_properties(${replay} PROPERTIES TIMEOUT 300)

  get_target_property(bin ${name} RUNTIME_OUTPUT_DIRECTORY)
  if(NOT bin)
    set(bin ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  string(REPLACE ";" " " option_text "${F_OPTIONS}")
  file(APPEND ${CRV_FUZZ_MANIFEST} "${name}\t${bin}/${name}\t${corpus}\t${regressions}\t${F_MAX_LEN}\t${option_text}\n")
endfunction()

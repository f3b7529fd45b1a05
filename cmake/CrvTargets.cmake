include(GoogleTest)

# crv_add_test(NAME SOURCES... [LIBS libs...] [WINDOWS_ONLY])
# One GoogleTest executable; on Windows its tests are listed and run through Wine.
function(crv_add_test name)
  cmake_parse_arguments(T "WINDOWS_ONLY" "RESOURCE_LOCK" "SOURCES;LIBS" ${ARGN})
  if(T_WINDOWS_ONLY AND NOT CRV_WINDOWS)
    return()
  endif()
  add_executable(${name} ${T_SOURCES} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} crv_test_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  set(props TIMEOUT 120)
  if(T_RESOURCE_LOCK)
    list(APPEND props RESOURCE_LOCK ${T_RESOURCE_LOCK})
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 PROPERTIES ${props})
endfunction()

# crv_add_library(NAME SOURCES...): a static library of the project, its headers found
# from the top of the tree ("player/app/settings.h").
function(crv_add_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
endfunction()

add_library(crv_test_main STATIC ${CMAKE_SOURCE_DIR}/tools/tests/test_main.cpp)
target_link_libraries(crv_test_main PUBLIC GTest::gtest)

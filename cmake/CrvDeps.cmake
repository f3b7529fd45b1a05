# Third-party libraries, as one set of target names for both builds:
#   crv::jpeg      libjpeg-turbo, IJG 6b interface (JPEG_LIB_VERSION 62)
#   crv::tiff      libtiff
#   crv::pugixml   pugixml
#   crv::ffmpeg    libavformat, libavcodec, libswscale, libswresample, libavutil
#   GTest::gtest, GTest::gtest_main, GTest::gmock (Windows: from the sysroot; native: Debian's)
# Each crv:: target exists only when its library was found; CRV_HAVE_JPEG, CRV_HAVE_TIFF,
# CRV_HAVE_PUGIXML, CRV_HAVE_FFMPEG, CRV_HAVE_GTEST and CRV_HAVE_GMOCK say which did.
#
# Windows: everything comes from CRV_SYSROOT, the static libraries tools/build-deps.sh
# cross-compiles. Native: Debian's -dev packages.

set(CRV_HAVE_JPEG OFF)
set(CRV_HAVE_TIFF OFF)
set(CRV_HAVE_PUGIXML OFF)
set(CRV_HAVE_FFMPEG OFF)
set(CRV_HAVE_GTEST OFF)
set(CRV_HAVE_GMOCK OFF)

# _crv_interface(NAME LIBS...): the interface target NAME forwarding to LIBS.
function(_crv_interface name)
  add_library(${name} INTERFACE IMPORTED GLOBAL)
  set_target_properties(${name} PROPERTIES INTERFACE_LINK_LIBRARIES "${ARGN}")
endfunction()

if(CRV_WINDOWS)
  if(NOT CRV_SYSROOT AND DEFINED ENV{CRV_SYSROOT})
    set(CRV_SYSROOT "$ENV{CRV_SYSROOT}")
  endif()
  set(CRV_SYSROOT "${CRV_SYSROOT}" CACHE PATH
      "Sysroot of the cross-compiled libraries (tools/build-deps.sh prints it)")
  if(NOT CRV_SYSROOT)
    message(FATAL_ERROR
      "The Windows build needs CRV_SYSROOT, the folder of its cross-compiled libraries. Make it "
      "(cached, quick when up to date) and pass it on:\n"
      "  sysroot=$(tools/build-deps.sh ${CMAKE_SYSTEM_PROCESSOR} | tail -n1)\n"
      "  cmake ... -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw.cmake -DCRV_SYSROOT=$sysroot")
  endif()
  if(NOT EXISTS "${CRV_SYSROOT}/crv-deps.stamp")
    message(FATAL_ERROR
      "CRV_SYSROOT=${CRV_SYSROOT} is not a finished sysroot of tools/build-deps.sh "
      "(no crv-deps.stamp in it).")
  endif()
  file(STRINGS "${CRV_SYSROOT}/crv-deps.stamp" _crv_stamp_arch REGEX "^arch ")
  if(NOT _crv_stamp_arch STREQUAL "arch ${CMAKE_SYSTEM_PROCESSOR}")
    message(FATAL_ERROR
      "CRV_SYSROOT=${CRV_SYSROOT} was built for '${_crv_stamp_arch}', this build is for "
      "${CMAKE_SYSTEM_PROCESSOR}.")
  endif()

  set(_crv_inc "${CRV_SYSROOT}/include")
  # _crv_find(VAR NAME): the static library libNAME.a of the sysroot, nothing else. Not a
  # cached find_library: a new recipe makes a new sysroot path, and a reconfigure with it
  # must not keep linking the old one.
  macro(_crv_find var libname)
    if(EXISTS "${CRV_SYSROOT}/lib/lib${libname}.a")
      set(${var} "${CRV_SYSROOT}/lib/lib${libname}.a")
    else()
      set(${var} "")
    endif()
  endmacro()

  _crv_find(CRV_JPEG_LIBRARY jpeg)
  if(CRV_JPEG_LIBRARY AND EXISTS "${_crv_inc}/jpeglib.h")
    add_library(crv::jpeg STATIC IMPORTED GLOBAL)
    set_target_properties(crv::jpeg PROPERTIES
      IMPORTED_LOCATION "${CRV_JPEG_LIBRARY}" INTERFACE_INCLUDE_DIRECTORIES "${_crv_inc}")
    set(CRV_HAVE_JPEG ON)
  endif()

  _crv_find(CRV_TIFF_LIBRARY tiff)
  if(CRV_TIFF_LIBRARY AND EXISTS "${_crv_inc}/tiffio.h")
    add_library(crv::tiff STATIC IMPORTED GLOBAL)
    set_target_properties(crv::tiff PROPERTIES
      IMPORTED_LOCATION "${CRV_TIFF_LIBRARY}" INTERFACE_INCLUDE_DIRECTORIES "${_crv_inc}")
    set(CRV_HAVE_TIFF ON)
  endif()

  _crv_find(CRV_PUGIXML_LIBRARY pugixml)
  if(CRV_PUGIXML_LIBRARY AND EXISTS "${_crv_inc}/pugixml.hpp")
    add_library(crv::pugixml STATIC IMPORTED GLOBAL)
    set_target_properties(crv::pugixml PROPERTIES
      IMPORTED_LOCATION "${CRV_PUGIXML_LIBRARY}" INTERFACE_INCLUDE_DIRECTORIES "${_crv_inc}")
    set(CRV_HAVE_PUGIXML ON)
  endif()

  # FFmpeg's static libraries, users before what they use, then the Windows libraries they
  # call into: bcrypt for libavutil's random seed (the only one a link needs with the
  # components tools/build-deps.sh enables; ole32 and user32 are what FFmpeg's own .pc files
  # name, kept so that enabling more components does not break the link).
  set(_crv_ffmpeg_libs)
  set(_crv_ffmpeg_complete ON)
  foreach(_l avformat avcodec swscale swresample avutil)
    string(TOUPPER ${_l} _L)
    _crv_find(CRV_${_L}_LIBRARY ${_l})
    if(CRV_${_L}_LIBRARY AND EXISTS "${_crv_inc}/lib${_l}/${_l}.h")
      list(APPEND _crv_ffmpeg_libs "${CRV_${_L}_LIBRARY}")
    else()
      set(_crv_ffmpeg_complete OFF)
    endif()
  endforeach()
  if(_crv_ffmpeg_complete)
    add_library(crv::ffmpeg INTERFACE IMPORTED GLOBAL)
    set_target_properties(crv::ffmpeg PROPERTIES
      INTERFACE_INCLUDE_DIRECTORIES "${_crv_inc}"
      INTERFACE_LINK_LIBRARIES "${_crv_ffmpeg_libs};bcrypt;ole32;user32")
    set(CRV_HAVE_FFMPEG ON)
  endif()

  # GoogleTest's own package files, from the sysroot only (forgetting a GTest_DIR cached
  # from an earlier sysroot).
  if(DEFINED CACHE{GTest_DIR})
    string(FIND "${GTest_DIR}" "${CRV_SYSROOT}/" _crv_at)
    if(NOT _crv_at EQUAL 0)
      unset(GTest_DIR CACHE)
    endif()
  endif()
  find_package(GTest CONFIG QUIET PATHS "${CRV_SYSROOT}" NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(TARGET GTest::gtest AND TARGET GTest::gtest_main)
    set(CRV_HAVE_GTEST ON)
  endif()
  if(TARGET GTest::gmock)
    set(CRV_HAVE_GMOCK ON)
  endif()
else()
  find_package(JPEG QUIET)
  if(JPEG_FOUND)
    if(JPEG_VERSION EQUAL 62)
      _crv_interface(crv::jpeg JPEG::JPEG)
      set(CRV_HAVE_JPEG ON)
    else()
      message(WARNING "libjpeg ${JPEG_VERSION} found, the project wants the jpeg62 interface "
                      "(libjpeg62-turbo-dev): crv::jpeg is not defined")
    endif()
  endif()

  find_package(TIFF QUIET)
  if(TIFF_FOUND)
    _crv_interface(crv::tiff TIFF::TIFF)
    set(CRV_HAVE_TIFF ON)
  endif()

  find_package(pugixml CONFIG QUIET)
  if(TARGET pugixml::pugixml)
    _crv_interface(crv::pugixml pugixml::pugixml)
    set(CRV_HAVE_PUGIXML ON)
  elseif(TARGET pugixml)
    _crv_interface(crv::pugixml pugixml)
    set(CRV_HAVE_PUGIXML ON)
  endif()

  find_package(PkgConfig QUIET)
  if(PKG_CONFIG_FOUND)
    pkg_check_modules(CRV_FFMPEG QUIET IMPORTED_TARGET GLOBAL
      libavformat libavcodec libswscale libswresample libavutil)
    if(CRV_FFMPEG_FOUND)
      _crv_interface(crv::ffmpeg PkgConfig::CRV_FFMPEG)
      set(CRV_HAVE_FFMPEG ON)
    endif()
  endif()

  find_package(GTest QUIET)
  if(TARGET GTest::gtest AND TARGET GTest::gtest_main)
    set(CRV_HAVE_GTEST ON)
  endif()
  if(TARGET GTest::gmock)
    set(CRV_HAVE_GMOCK ON)
  endif()
endif()

set(_crv_found)
set(_crv_missing)
foreach(_d JPEG TIFF PUGIXML FFMPEG GTEST GMOCK)
  if(CRV_HAVE_${_d})
    list(APPEND _crv_found ${_d})
  else()
    list(APPEND _crv_missing ${_d})
  endif()
endforeach()
string(REPLACE ";" " " _crv_found "${_crv_found}")
string(REPLACE ";" " " _crv_missing "${_crv_missing}")
message(STATUS "Dependencies found: ${_crv_found}")
if(_crv_missing)
  message(STATUS "Dependencies missing: ${_crv_missing}")
endif()

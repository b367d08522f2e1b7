# What the cross-compiled Windows build links with, from Debian's packages.
#
# - SQLite and SimpleIni: their headers only, taken from the build machine (they are plain C and
#   C++ headers) and put in a folder of their own, so that the rest of /usr/include (the Linux C
#   library) stays out of the Windows compile.
# - The embedded database is the SQLite that Windows 10 and 11 carry as winsqlite3.dll: linked
#   through a delay-load import library, so the program starts where it is missing and says so
#   when an embedded database is asked for (data/embedded_sqlite.cpp).
# - ODBC: the system's driver manager, odbc32.dll (MinGW's import library).
# - GoogleTest: compiled from Debian's source package (googletest) inside the build.

set(MG_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${MG_HOST_HEADERS})
foreach(header sqlite3.h sqlite3ext.h SimpleIni.h ConvertUTF.h)
  find_file(MG_HOST_${header} ${header} PATHS /usr/include /usr/local/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(MG_HOST_${header})
    configure_file(${MG_HOST_${header}} ${MG_HOST_HEADERS}/${header} COPYONLY)
  elseif(header STREQUAL "sqlite3.h" OR header STREQUAL "SimpleIni.h")
    message(FATAL_ERROR "${header} not found: install libsqlite3-dev and libsimpleini-dev")
  endif()
endforeach()
set(SIMPLEINI_INCLUDE_DIR ${MG_HOST_HEADERS})

find_program(MG_DLLTOOL NAMES ${MG_MINGW_PREFIX}-dlltool x86_64-w64-mingw32-dlltool REQUIRED)
set(MG_WINSQLITE_LIB ${CMAKE_BINARY_DIR}/libwinsqlite3-delay.a)
add_custom_command(OUTPUT ${MG_WINSQLITE_LIB}
  COMMAND ${MG_DLLTOOL} --input-def ${PROJECT_SOURCE_DIR}/cmake/winsqlite3.def --dllname winsqlite3.dll
          --output-delaylib ${MG_WINSQLITE_LIB}
  DEPENDS ${PROJECT_SOURCE_DIR}/cmake/winsqlite3.def
  COMMENT "Delay-load import library of winsqlite3.dll")
add_custom_target(mg_winsqlite_importlib DEPENDS ${MG_WINSQLITE_LIB})
add_library(SQLite::SQLite3 INTERFACE IMPORTED)
set_target_properties(SQLite::SQLite3 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${MG_HOST_HEADERS})
target_link_libraries(SQLite::SQLite3 INTERFACE ${MG_WINSQLITE_LIB} delayimp)
# Every SQLite call goes through the import library: it is made before anything links.
set(MG_WINSQLITE_DEPENDENCY mg_winsqlite_importlib)

add_library(ODBC::ODBC INTERFACE IMPORTED)
target_link_libraries(ODBC::ODBC INTERFACE odbc32)

if(MG_BUILD_TESTS)
  set(MG_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources (Debian package googletest)")
  if(NOT EXISTS ${MG_GTEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest's sources are not in ${MG_GTEST_SOURCE}: install the googletest package")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  add_subdirectory(${MG_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
  set(GTest_FOUND TRUE)
endif()

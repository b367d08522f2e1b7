# Who may include whom, checked on every source file of the program:
#
#     shell ──> outlays, fees, maintenance, ui, data
#     outlays, fees ──> maintenance, ui, data
#     maintenance ──> ui, data
#     ui ──> data
#     data ──> the C++ standard library, SQLite, ODBC, SimpleIni (no Qt at all)
#
# Every target has the repository's root on its include path, so an include across the rule
# would compile: this check is what makes it fail.  cmake -DROOT=<repository> -P layer_rule.cmake
cmake_minimum_required(VERSION 3.25)
set(allowed_data data)
set(allowed_ui ui data)
set(allowed_maintenance maintenance ui data)
set(allowed_outlays outlays maintenance ui data)
set(allowed_fees fees maintenance ui data)
set(allowed_shell shell outlays fees maintenance ui data)

set(broken "")
foreach(layer data ui maintenance outlays fees shell)
  file(GLOB_RECURSE files "${ROOT}/${layer}/*.h" "${ROOT}/${layer}/*.cpp" "${ROOT}/${layer}/*.inc")
  foreach(f IN LISTS files)
    file(STRINGS "${f}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    file(RELATIVE_PATH shown "${ROOT}" "${f}")
    get_filename_component(folder "${f}" DIRECTORY)
    foreach(line IN LISTS lines)
      # "layer/file.h", <layer/file.h> and "../layer/file.h" alike: a path that climbs is
      # resolved from the including file's folder first.
      if(line MATCHES "#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"]")
        set(included "${CMAKE_MATCH_1}")
        if(included MATCHES "^\\.\\.?/")
          get_filename_component(resolved "${included}" ABSOLUTE BASE_DIR "${folder}")
          file(RELATIVE_PATH included "${ROOT}" "${resolved}")
        endif()
        if(included MATCHES "^([a-z_]+)/")
          set(target "${CMAKE_MATCH_1}")
          if(target MATCHES "^(data|ui|maintenance|outlays|fees|shell)$" AND NOT target IN_LIST allowed_${layer})
            list(APPEND broken "${shown}: ${line}")
          endif()
        endif()
      endif()
      if(layer STREQUAL "data" AND line MATCHES "#[ \t]*include[ \t]*<Q")
        list(APPEND broken "${shown}: ${line} (the data layer links no Qt)")
      endif()
    endforeach()
  endforeach()
endforeach()

if(broken)
  list(JOIN broken "\n  " text)
  message(FATAL_ERROR "Includes across the layer rule:\n  ${text}")
endif()
message(STATUS "Every include keeps to the layer rule")

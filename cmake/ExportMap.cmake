# fleet_export_map(TARGET HEADER MACRO): links TARGET with a version script that exports
# exactly the names of the X-macro list MACRO in HEADER, so the list stays the one place
# where a library's interface is written down.
function(fleet_export_map target header macro)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${header})
  file(READ ${header} text)
  string(REGEX MATCH "#define ${macro}\\(X\\)([^\n]*\\\\\n)*[^\n]*" list "${text}")
  if(NOT list)
    message(FATAL_ERROR "${header}: no ${macro}(X) list")
  endif()
  string(REGEX MATCHALL "X\\(([A-Za-z_0-9]+)\\)" entries "${list}")
  set(map "{\n  global:\n")
  foreach(entry IN LISTS entries)
    string(REGEX REPLACE "X\\(([A-Za-z_0-9]+)\\)" "\\1" name "${entry}")
    string(APPEND map "    ${name};\n")
  endforeach()
  string(APPEND map "  local:\n    *;\n};\n")
  set(file ${CMAKE_CURRENT_BINARY_DIR}/${target}_exports.map)
  file(CONFIGURE OUTPUT ${file} CONTENT "${map}")
  target_link_options(${target} PRIVATE -Wl,--version-script=${file})
  # Built by clang for fuzzing, a shared library takes the sanitizer and coverage runtimes from
  # the executable that loads it, so those names stay undefined here.
  if(NOT FLEET_FUZZ)
    target_link_options(${target} PRIVATE -Wl,--no-undefined)
  endif()
  set_target_properties(${target} PROPERTIES LINK_DEPENDS ${file})
endfunction()

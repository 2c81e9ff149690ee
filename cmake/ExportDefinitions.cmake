# The export definition files name 32-bit Windows' stdcall symbols with the bytes of their
# arguments (QueryVivaFilter@4). 64-bit Windows has one calling convention and no such
# decoration, so a 64-bit build uses a copy of the file with the decorations taken off; the
# exported names are the same plain names in both.
function(windows_export_definitions source result_variable)
  if(NOT CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(${result_variable} ${source} PARENT_SCOPE)
    return()
  endif()
  get_filename_component(name ${source} NAME)
  set(plain ${CMAKE_BINARY_DIR}/export-definitions/${name})
  file(READ ${source} text)
  # "Name = Name@4" is an alias of the decorated symbol; without decorations it is the name.
  string(REGEX REPLACE "[ \t]*=[ \t]*[A-Za-z_][A-Za-z0-9_]*@[0-9]+" "" text "${text}")
  string(REGEX REPLACE "@[0-9]+" "" text "${text}")
  file(CONFIGURE OUTPUT ${plain} CONTENT "${text}" @ONLY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  set(${result_variable} ${plain} PARENT_SCOPE)
endfunction()

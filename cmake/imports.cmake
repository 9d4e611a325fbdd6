# vantorin_delayed_import(NAME DEF_FILE DLL_TARGET)
# A delay-load import library NAME made from a DLL's .def file: a program
# linked to it starts without the DLL, which Windows looks for only at the
# first call into it. That is how optional vendor DLLs are linked. Building
# NAME also builds DLL_TARGET, so the DLL still lands beside the programs here.
function(vantorin_delayed_import name def dll_target)
  set(lib ${CMAKE_BINARY_DIR}/delayed/lib${name}.a)
  add_custom_command(OUTPUT ${lib}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/delayed
    COMMAND ${VANTORIN_TRIPLE}-dlltool --input-def ${def} --output-delaylib ${lib}
    DEPENDS ${def}
    VERBATIM)
  add_custom_target(${name}_library DEPENDS ${lib})
  add_dependencies(${name}_library ${dll_target})
  add_library(${name} STATIC IMPORTED GLOBAL)
  set_target_properties(${name} PROPERTIES IMPORTED_LOCATION ${lib})
  add_dependencies(${name} ${name}_library)
endfunction()

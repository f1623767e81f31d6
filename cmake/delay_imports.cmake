# Delay-loaded imports for the program. The loader resolves a program's
# ordinary imports before its first line runs, looking in the program's own
# folder first for every DLL that is not one of Windows' known DLLs; a
# program started elevated from a Downloads folder would so run any DLL of
# that name lying beside it. Delay-loaded, such a DLL is loaded on its first
# call, after the process entry has limited the search to the System folder.
#
# For each DLL a delay-import library with the name of the ordinary one is
# made from the ordinary one's exports, in a folder that only the program's
# link searches first.
function(tavrin_delay_imports target)
  set(folder ${CMAKE_CURRENT_BINARY_DIR}/delay-imports)
  file(MAKE_DIRECTORY ${folder})
  find_program(TAVRIN_DLLTOOL NAMES x86_64-w64-mingw32-dlltool REQUIRED)
  find_program(TAVRIN_NM NAMES x86_64-w64-mingw32-nm REQUIRED)
  foreach(dll ${ARGN})
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=lib${dll}.a
                    OUTPUT_VARIABLE import OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT EXISTS "${import}")
      message(FATAL_ERROR "no import library for ${dll}")
    endif()
    set(library ${folder}/lib${dll}.a)
    if(NOT EXISTS ${library} OR "${import}" IS_NEWER_THAN ${library})
      execute_process(COMMAND ${TAVRIN_NM} -g ${import} OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
      if(failed)
        message(FATAL_ERROR "cannot read ${import}")
      endif()
      string(REGEX MATCHALL "__imp_[A-Za-z0-9_@?$]+" imports "${symbols}")
      list(REMOVE_DUPLICATES imports)
      set(definitions "LIBRARY ${dll}.dll\nEXPORTS\n")
      foreach(symbol ${imports})
        string(REGEX REPLACE "^__imp_" "" name ${symbol})
        string(APPEND definitions "  ${name}\n")
      endforeach()
      file(WRITE ${folder}/${dll}.def "${definitions}")
      execute_process(COMMAND ${TAVRIN_DLLTOOL} --input-def ${folder}/${dll}.def --dllname ${dll}.dll
                              --output-delaylib ${library} RESULT_VARIABLE failed ERROR_VARIABLE errors)
      if(failed)
        message(FATAL_ERROR "cannot make the delay-import library of ${dll}: ${errors}")
      endif()
    endif()
  endforeach()
  target_link_directories(${target} BEFORE PRIVATE ${folder})
endfunction()

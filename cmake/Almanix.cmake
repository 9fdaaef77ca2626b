# Helpers shared by the folders of the tree.

# Our byte strings are GBK (GB18030): narrow literals in UTF-8 sources become GB18030 bytes.
function(almanix_gb_literals target)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -finput-charset=UTF-8 -fexec-charset=GB18030)
  elseif(MSVC)
    target_compile_options(${target} PRIVATE /source-charset:utf-8 /execution-charset:.936)
  endif()
endfunction()

# A portable module: every *.cpp of the folder except the Windows-only *_win.cpp files.
function(almanix_module name)
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER srcs EXCLUDE REGEX "_win\\.cpp$")
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARGN})
    almanix_gb_literals(${name})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARGN})
  endif()
endfunction()

# The Windows half of a folder: its *_win.cpp files.
function(almanix_win_module name)
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_win.cpp)
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/res)
    target_link_libraries(${name} PUBLIC ${ARGN})
    almanix_gb_literals(${name})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${ARGN})
  endif()
endfunction()

# A system DLL that the program needs only now and then, imported so that the DLL is loaded at
# the first call of one of FUNCTIONS instead of at every start. Link the returned target name
# (in out_var) instead of the DLL's name; a function not listed does not link.
function(almanix_delay_import out_var dll)
  set(target almanix_delay_${dll})
  if(NOT TARGET ${target})
    add_library(${target} INTERFACE)
    if(MINGW AND CMAKE_DLLTOOL)
      set(dir ${CMAKE_BINARY_DIR}/delay-import)
      set(def ${dir}/${dll}.def)
      list(JOIN ARGN "\n" exports)
      file(WRITE ${def}.in "LIBRARY ${dll}.dll\nEXPORTS\n${exports}\n")
      configure_file(${def}.in ${def} COPYONLY)
      add_custom_command(OUTPUT ${dir}/lib${dll}_delay.a
        COMMAND ${CMAKE_DLLTOOL} --input-def ${def} --output-delaylib ${dir}/lib${dll}_delay.a
        DEPENDS ${def} VERBATIM)
      add_custom_target(${target}_lib DEPENDS ${dir}/lib${dll}_delay.a)
      add_dependencies(${target} ${target}_lib)
      target_link_libraries(${target} INTERFACE ${dir}/lib${dll}_delay.a)
    elseif(MSVC)
      target_link_libraries(${target} INTERFACE ${dll} delayimp)
      target_link_options(${target} INTERFACE /DELAYLOAD:${dll}.dll)
    else()
      target_link_libraries(${target} INTERFACE ${dll})
    endif()
  endif()
  set(${out_var} ${target} PARENT_SCOPE)
endfunction()

# The layer table of cmake/check_layers.py, made into build rules: vop_layers(), called once every target
# exists, gives each folder
# - an include directory of its own in the build tree that holds only that folder (a symlink), and an
#   interface target <folder>_headers (platform/ftp: platform_ftp_headers) carrying it together with the
#   headers of the folders its row names; each target of the folder compiles with that and nothing of
#   the project root, so including a header of a folder outside the row's reach finds no file;
# - a link check: the objects of the folder's targets, linked with --no-undefined against the folders its
#   row names and nothing else of ours, so that a call into another folder fails to link although the
#   product's libraries (one libvop_platform.so, the module) would hold it.
set(vop_layer_table ${CMAKE_BINARY_DIR}/layers/table.cmake)
execute_process(
  COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/cmake/check_layers.py ${PROJECT_SOURCE_DIR} --cmake ${vop_layer_table}
  COMMAND_ERROR_IS_FATAL ANY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/check_layers.py)
include(${vop_layer_table})

function(vop_layer_name folder out)
  string(REPLACE "/" "_" name "${folder}")
  set(${out} ${name} PARENT_SCOPE)
endfunction()

# The folders a folder reaches through its row, its row's rows and so on.
function(vop_layer_reach folder out)
  set(reach "")
  set(pending ${VOP_LAYER_USES_${folder}})
  while(pending)
    list(POP_FRONT pending next)
    if(NOT next IN_LIST reach)
      list(APPEND reach ${next})
      list(APPEND pending ${VOP_LAYER_USES_${next}})
    endif()
  endwhile()
  set(${out} ${reach} PARENT_SCOPE)
endfunction()

function(vop_layer_headers folder)
  vop_layer_name(${folder} name)
  set(root ${CMAKE_BINARY_DIR}/layers/${name})
  get_filename_component(parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  add_library(${name}_headers INTERFACE)
  target_include_directories(${name}_headers INTERFACE ${root})
  foreach(use ${VOP_LAYER_USES_${folder}})
    vop_layer_name(${use} use_name)
    target_link_libraries(${name}_headers INTERFACE ${use_name}_headers)
  endforeach()
  foreach(target ${VOP_LAYER_TARGETS_${folder}})
    if(NOT TARGET ${target})
      message(FATAL_ERROR "the layer table names ${target} for ${folder}/, but no such target is defined")
    endif()
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE" OR type STREQUAL "MODULE_LIBRARY")
      target_link_libraries(${target} PRIVATE ${name}_headers)
    else()
      target_link_libraries(${target} PUBLIC ${name}_headers)
    endif()
  endforeach()
endfunction()

# A folder whose symbols stay hidden inside the library that holds it (every target but a shared library)
# cannot be reached by a link check of its own; its objects come whole into the check of a folder that may
# use it, when that folder may also use everything the other one reaches.
function(vop_layer_taken_whole folder user out)
  set(whole TRUE)
  foreach(target ${VOP_LAYER_TARGETS_${folder}})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "SHARED_LIBRARY")
      set(whole FALSE)
    endif()
  endforeach()
  vop_layer_reach(${folder} reach)
  foreach(needed ${reach})
    if(NOT needed IN_LIST VOP_LAYER_USES_${user})
      set(whole FALSE)
    endif()
  endforeach()
  set(${out} ${whole} PARENT_SCOPE)
endfunction()

# The objects of a folder in an archive of their own, for the link checks that take them whole.
function(vop_layer_archive folder out)
  vop_layer_name(${folder} name)
  if(NOT TARGET link_objects_${name})
    set(objects "")
    foreach(target ${VOP_LAYER_TARGETS_${folder}})
      list(APPEND objects $<TARGET_OBJECTS:${target}>)
    endforeach()
    add_library(link_objects_${name} STATIC ${objects})
    set_target_properties(link_objects_${name} PROPERTIES
      ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/link_checks LINKER_LANGUAGE CXX AUTOMOC OFF)
  endif()
  set(${out} link_objects_${name} PARENT_SCOPE)
endfunction()

function(vop_layer_link_check folder)
  vop_layer_name(${folder} name)
  set(objects "")
  set(kind SHARED)
  foreach(target ${VOP_LAYER_TARGETS_${folder}})
    list(APPEND objects $<TARGET_OBJECTS:${target}>)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      set(kind EXECUTABLE)
    endif()
  endforeach()
  set(checks "")
  set(archives "")
  set(hidden "")
  foreach(use ${VOP_LAYER_USES_${folder}})
    vop_layer_taken_whole(${use} ${folder} whole)
    if(whole)
      vop_layer_archive(${use} archive)
      list(APPEND archives ${archive})
      list(APPEND hidden lib${archive}.a)
    else()
      vop_layer_name(${use} use_name)
      list(APPEND checks link_check_${use_name})
    endif()
  endforeach()
  if(kind STREQUAL "EXECUTABLE")
    add_executable(link_check_${name} ${objects})
  else()
    add_library(link_check_${name} SHARED ${objects})
    # What came in whole stays hidden, so that a user of this check reaches only this folder's symbols.
    list(JOIN hidden ":" hidden)
    target_link_options(link_check_${name} PRIVATE -Wl,--no-undefined $<$<BOOL:${hidden}>:-Wl,--exclude-libs,${hidden}>)
  endif()
  set_target_properties(link_check_${name} PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/link_checks RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/link_checks
    LINKER_LANGUAGE CXX AUTOMOC OFF)
  # Nothing of ours but what the row names; every outside library, so that only our folders are judged.
  if(archives)
    list(JOIN archives "," archives)
    set(archives "$<LINK_GROUP:RESCAN,${archives}>")
  endif()
  target_link_libraries(link_check_${name} PRIVATE ${checks} ${archives}
    Qt6::Widgets Qt6::Svg Qt6::Test Poco::Foundation Poco::Net Poco::NetSSL Poco::Crypto Poco::Util Poco::JSON
    Poco::XML OpenSSL::SSL OpenSSL::Crypto SQLite::SQLite3 Threads::Threads ${CMAKE_DL_LIBS})
endfunction()

function(vop_layers)
  foreach(folder ${VOP_LAYER_FOLDERS})
    vop_layer_headers(${folder})
  endforeach()
  # The structure is the same in every build; the sanitizer builds leave the checks to the plain ones
  # (clang links the sanitizers' run-time into executables only, so a shared check would not link).
  if(NOT VOP_SANITIZE)
    foreach(folder ${VOP_LAYER_FOLDERS})
      vop_layer_link_check(${folder})
    endforeach()
  endif()
endfunction()

# Common settings for every project target.
function(vantrel_target_defaults target)
  target_compile_options(${target} PRIVATE ${VANTREL_WARNINGS})
endfunction()

# Fails the build when a target that must stay Qt-free links Qt, directly or
# through one of its dependencies.
function(vantrel_forbid_qt target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DTARGET_NAME=${target}
            "-DLINKS=$<TARGET_PROPERTY:${target},LINK_LIBRARIES>"
            "-DINTERFACE_LINKS=$<TARGET_PROPERTY:${target},INTERFACE_LINK_LIBRARIES>"
            -P ${PROJECT_SOURCE_DIR}/cmake/CheckNoQt.cmake
    VERBATIM)
endfunction()

# vantrel_layer(<target> FOLDERS <folder>... [USES <layer>...] [LIBS <lib>...] [QT])
#
# One layer of the program: a static library of the .cpp files of the given
# folders of src/ (each folder alone, not its subfolders). src/ itself is on no
# include path. Instead each layer publishes its headers through an include
# root of its own in the build tree, a folder of links to exactly its headers
# (build/layers/<target>/<folder>/<header>.h). A layer therefore sees its own
# headers and those of the layers it USES, directly or through them, and
# nothing else: an #include that runs the wrong way does not compile.
# Without QT the layer must stay Qt-free, and the build checks that it does.
function(vantrel_layer target)
  cmake_parse_arguments(L "QT" "" "FOLDERS;USES;LIBS" ${ARGN})
  set(root ${PROJECT_BINARY_DIR}/layers/${target})
  file(REMOVE_RECURSE ${root})
  set(sources)
  set(all_headers)
  foreach(folder IN LISTS L_FOLDERS)
    file(GLOB headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${folder}/*.h)
    file(GLOB units CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${folder}/*.cpp)
    file(MAKE_DIRECTORY ${root}/${folder})
    foreach(header IN LISTS headers)
      get_filename_component(name ${header} NAME)
      file(CREATE_LINK ${header} ${root}/${folder}/${name} SYMBOLIC)
    endforeach()
    list(APPEND sources ${units})
    list(APPEND all_headers ${headers})
  endforeach()
  list(FILTER sources INCLUDE REGEX "\\.cpp$")
  if(NOT sources)
    # A layer whose folders hold no code yet: its headers (if any) and uses.
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${root})
    target_link_libraries(${target} INTERFACE ${L_USES} ${L_LIBS})
    return()
  endif()
  list(APPEND sources ${all_headers})
  add_library(${target} STATIC ${sources})
  vantrel_target_defaults(${target})
  target_include_directories(${target} PUBLIC ${root})
  target_link_libraries(${target} PUBLIC ${L_USES} ${L_LIBS})
  if(L_QT)
    set_target_properties(${target} PROPERTIES AUTOMOC ON)
  else()
    vantrel_forbid_qt(${target})
  endif()
endfunction()

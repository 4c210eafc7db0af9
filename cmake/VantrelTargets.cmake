# Common settings for every project target.
function(vantrel_target_defaults target)
  target_compile_options(${target} PRIVATE ${VANTREL_WARNINGS})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
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

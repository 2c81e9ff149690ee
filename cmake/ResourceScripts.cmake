# Native builds: a module's resources come from the same resource script that windres compiles
# for Windows. The build's resource_compiler turns the script into a source file that defines
# the module's resource directory, where the platform's FindResourceA finds it.
function(target_resource_script target script)
  get_filename_component(name ${script} NAME_WE)
  set(output ${CMAKE_CURRENT_BINARY_DIR}/${target}_${name}_resources.cpp)
  add_custom_command(
    OUTPUT ${output}
    COMMAND resource_compiler ${script} ${output} ${output}.d
    DEPENDS resource_compiler ${script}
    DEPFILE ${output}.d
    COMMENT "Compiling the resource script ${name}.rc for ${target}")
  target_sources(${target} PRIVATE ${output})
  target_link_libraries(${target} PRIVATE winplatform)
endfunction()

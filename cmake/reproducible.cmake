# ZELVO_REPRODUCIBLE (the release build of tools/package.sh): two builds of
# one commit give the same bytes, wherever the tree and the build lie.
#  - the compilers write the source and build folders as /zelvo and
#    /zelvo/build, in the debug information and in __FILE__ (absolute, so
#    that debuggers do not join them with the build folder);
#  - the linker writes no time stamp into the PE header;
#  - static libraries hold no time stamps or owners (deterministic archives).
option(ZELVO_REPRODUCIBLE "Build binaries that do not depend on the time or the paths of the build" OFF)
if(NOT ZELVO_REPRODUCIBLE)
    return()
endif()

# GCC applies the last map that matches: the build folder may lie inside the source folder.
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}=/zelvo -ffile-prefix-map=${CMAKE_BINARY_DIR}=/zelvo/build)
add_link_options(-Wl,--no-insert-timestamp)
foreach(language C CXX)
    set(CMAKE_${language}_ARCHIVE_CREATE "<CMAKE_AR> qcD <TARGET> <LINK_FLAGS> <OBJECTS>")
    set(CMAKE_${language}_ARCHIVE_APPEND "<CMAKE_AR> qD <TARGET> <LINK_FLAGS> <OBJECTS>")
    set(CMAKE_${language}_ARCHIVE_FINISH "<CMAKE_RANLIB> -D <TARGET>")
endforeach()

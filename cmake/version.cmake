# The version is set once, in project() of the top CMakeLists.txt. From there
# it reaches the version resources of zelvo.dll, zelvo-host.dll and
# zelvo-load.exe (zelvo_version_resource), the service and the loader (the
# generated zelvo_version.h of the zelvo_version target). include/zelvo.h and
# the Python package state it for their users, who read them without CMake:
# configuring stops when either disagrees with project().

function(zelvo_require_stated_version file pattern)
    file(READ ${PROJECT_SOURCE_DIR}/${file} text)
    if(NOT text MATCHES "${pattern}")
        message(FATAL_ERROR "${file} does not state the version (${pattern})")
    endif()
    if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
        message(FATAL_ERROR "${file} states version ${CMAKE_MATCH_1} but project() says ${PROJECT_VERSION}: "
                            "change the version in both")
    endif()
endfunction()

zelvo_require_stated_version(include/zelvo.h "#define ZELVO_VERSION \"([^\"]*)\"")
zelvo_require_stated_version(python/zelvo/__init__.py "__version__ = \"([^\"]*)\"")

configure_file(${CMAKE_CURRENT_LIST_DIR}/zelvo_version.h.in ${CMAKE_BINARY_DIR}/generated/zelvo_version.h @ONLY)
add_library(zelvo_version INTERFACE)
target_include_directories(zelvo_version INTERFACE ${CMAKE_BINARY_DIR}/generated)

# Gives `target` (a DLL or an EXE) a version resource with the project's
# version, and the generated zelvo_version.h.
function(zelvo_version_resource target description)
    get_target_property(type ${target} TYPE)
    get_target_property(name ${target} OUTPUT_NAME)
    if(NOT name)
        set(name ${target})
    endif()
    if(type STREQUAL "EXECUTABLE")
        set(ZELVO_RC_FILETYPE VFT_APP)
        set(ZELVO_RC_FILENAME ${name}.exe)
    else()
        set(ZELVO_RC_FILETYPE VFT_DLL)
        set(ZELVO_RC_FILENAME ${name}.dll)
    endif()
    set(ZELVO_RC_DESCRIPTION ${description})
    set(ZELVO_RC_INTERNAL_NAME ${name})
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}-version.rc)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
    target_link_libraries(${target} PRIVATE zelvo_version)
endfunction()

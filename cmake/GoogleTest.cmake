# GoogleTest from Debian's googletest package sources, built inside each tree
# with that tree's compiler; nothing is downloaded.
set(VISTREL_GTEST_SOURCE_DIR /usr/src/googletest/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS ${VISTREL_GTEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources not found at ${VISTREL_GTEST_SOURCE_DIR} "
                        "(Debian package googletest)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${VISTREL_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/_googletest EXCLUDE_FROM_ALL)
foreach(t gtest gtest_main)
    # The library is not ours: no -Werror, no sanitizer surprises from its warnings.
    set_target_properties(${t} PROPERTIES COMPILE_WARNING_AS_ERROR OFF)
endforeach()

# libjpeg-turbo's TurboJPEG library as the imported target vistrel_turbojpeg:
# static, with its SIMD code, built with this tree's compiler from Debian's
# source package by scripts/libjpeg-turbo.sh, once per build tree (the script's
# checksum in the stamp decides whether the build is current).
set(VISTREL_JPEG_DIR ${CMAKE_BINARY_DIR}/_deps/libjpeg-turbo)
set(_jpeg_script ${PROJECT_SOURCE_DIR}/scripts/libjpeg-turbo.sh)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${_jpeg_script})
file(SHA256 ${_jpeg_script} _jpeg_sum)
set(_jpeg_built "")
if(EXISTS ${VISTREL_JPEG_DIR}/.built)
    file(STRINGS ${VISTREL_JPEG_DIR}/.built _jpeg_built LIMIT_COUNT 1)
endif()
if(NOT _jpeg_built STREQUAL _jpeg_sum)
    if(CMAKE_CROSSCOMPILING)
        set(_toolchain ${CMAKE_TOOLCHAIN_FILE})
        if(NOT IS_ABSOLUTE ${_toolchain})
            set(_toolchain ${PROJECT_SOURCE_DIR}/${_toolchain})
        endif()
        set(_jpeg_args --toolchain ${_toolchain})
    else()
        set(_jpeg_args --cc ${CMAKE_C_COMPILER})
    endif()
    execute_process(COMMAND ${_jpeg_script} ${VISTREL_JPEG_DIR} ${_jpeg_args}
                    RESULT_VARIABLE _jpeg_result)
    if(NOT _jpeg_result EQUAL 0)
        message(FATAL_ERROR "libjpeg-turbo could not be built (scripts/libjpeg-turbo.sh)")
    endif()
endif()
file(STRINGS ${VISTREL_JPEG_DIR}/version VISTREL_JPEG_VERSION LIMIT_COUNT 1)
message(STATUS "libjpeg-turbo ${VISTREL_JPEG_VERSION} (Debian source, static, SIMD): "
               "${VISTREL_JPEG_DIR}")

add_library(vistrel_turbojpeg STATIC IMPORTED GLOBAL)
set_target_properties(vistrel_turbojpeg PROPERTIES
    IMPORTED_LOCATION ${VISTREL_JPEG_DIR}/lib/libturbojpeg.a
    INTERFACE_INCLUDE_DIRECTORIES ${VISTREL_JPEG_DIR}/include)

# Imported targets for the Debian packages the project links against. SuiteSparse, cminpack,
# LAPACK and ARPACK ship no CMake configuration on Debian 12, so they are found by hand.
include_guard(GLOBAL)

find_package(PkgConfig REQUIRED)

# LAPACK and BLAS: no header, the Fortran entry points are declared in the sources.
find_package(LAPACK REQUIRED)
find_package(BLAS REQUIRED)

# SuiteSparse: UMFPACK (with AMD) for the direct solve, CXSparse for sparse QR.
find_path(SUITESPARSE_INCLUDE_DIR umfpack.h PATH_SUFFIXES suitesparse REQUIRED)
foreach(lib umfpack amd cxsparse suitesparseconfig)
  find_library(SUITESPARSE_${lib}_LIBRARY ${lib} REQUIRED)
endforeach()
add_library(tetlab_suitesparse INTERFACE)
target_include_directories(tetlab_suitesparse SYSTEM INTERFACE ${SUITESPARSE_INCLUDE_DIR})
target_link_libraries(tetlab_suitesparse INTERFACE
  ${SUITESPARSE_umfpack_LIBRARY} ${SUITESPARSE_amd_LIBRARY}
  ${SUITESPARSE_cxsparse_LIBRARY} ${SUITESPARSE_suitesparseconfig_LIBRARY})

# cminpack: its headers live in /usr/include/cminpack-1; minpack-dev's minpack.h must not shadow it.
pkg_check_modules(CMINPACK REQUIRED IMPORTED_TARGET cminpack)

# ARPACK (reverse-communication eigen-solver; Fortran entry points declared in the sources).
find_library(ARPACK_LIBRARY arpack REQUIRED)

# Boost: smart_ptr (header only) and serialization.
find_package(Boost 1.74 REQUIRED COMPONENTS serialization)

# OpenGL, GLU, freeglut, GLEW.
set(OpenGL_GL_PREFERENCE LEGACY)
find_package(OpenGL REQUIRED COMPONENTS OpenGL)
find_package(GLUT REQUIRED)
find_package(GLEW REQUIRED)

# FreeType for the texture font; libpng and libjpeg-turbo for image reading; stb for image
# resampling (libstb.so holds the implementations) and, in the tests, image writing.
find_package(Freetype REQUIRED)
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)
find_path(STB_INCLUDE_DIR stb_image.h PATH_SUFFIXES stb REQUIRED)
find_library(STB_LIBRARY stb REQUIRED)
add_library(tetlab_stb INTERFACE)
target_include_directories(tetlab_stb SYSTEM INTERFACE ${STB_INCLUDE_DIR})
target_link_libraries(tetlab_stb INTERFACE ${STB_LIBRARY})

add_library(tetlab_gl INTERFACE)
target_link_libraries(tetlab_gl INTERFACE GLEW::GLEW OpenGL::GL OpenGL::GLU GLUT::GLUT)

# tetlab_add_layer(<target> [EXCLUDE <files>...] LIBS <libs>...): one static library from every
# .c/.cpp file under the current directory (recursively). A layer without sources yet is skipped.
function(tetlab_add_layer target)
  cmake_parse_arguments(ARG "" "" "EXCLUDE;LIBS;GLOB" ${ARGN})
  if(NOT ARG_GLOB)
    set(ARG_GLOB *.cpp *.c)
  endif()
  set(patterns)
  foreach(p ${ARG_GLOB})
    list(APPEND patterns ${CMAKE_CURRENT_SOURCE_DIR}/${p})
  endforeach()
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${patterns})
  foreach(ex ${ARG_EXCLUDE})
    list(FILTER srcs EXCLUDE REGEX "${ex}")
  endforeach()
  if(NOT srcs)
    message(STATUS "tetlab: layer ${target} has no sources yet")
    return()
  endif()
  add_library(${target} STATIC ${srcs})
  target_link_libraries(${target} PUBLIC tetlab_options ${ARG_LIBS})
endfunction()

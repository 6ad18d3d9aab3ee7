# Imported targets for the Debian packages the project links against. SuiteSparse, cminpack,
# LAPACK and ARPACK ship no CMake configuration on Debian 12, so they are found by hand.
include_guard(GLOBAL)

find_package(PkgConfig REQUIRED)

# LAPACK and BLAS: no header, the Fortran entry points are declared in the sources.
# Chosen on purpose, not through Debian's alternatives for libblas.so.3 and liblapack.so.3
# (installing a BLAS switches those system-wide):
# - the program's own dense calls (SVD, eigen-decomposition, least squares, LU) link the
#   reference LAPACK and BLAS statically, kept out of the program's exported symbols, so their
#   results do not depend on the machine's BLAS;
# - everything in shared libraries, UMFPACK's dense kernels above all, gets reference LAPACK with
#   OpenBLAS's serial (one-thread) BLAS: linked by path, found at run time through the programs'
#   RUNPATH (LAPACK's directory first) and loaded ahead of the libblas.so.3 and liblapack.so.3
#   that UMFPACK and ARPACK ask for by name.
# TETLAB_OPENBLAS=OFF links whatever LAPACK and BLAS the system offers.
option(TETLAB_OPENBLAS "UMFPACK on OpenBLAS, dense members on static reference LAPACK" ON)
if(TETLAB_OPENBLAS)
  set(tetlab_libdir /usr/lib/${CMAKE_LIBRARY_ARCHITECTURE})
  find_file(TETLAB_LAPACK_STATIC liblapack.a PATHS ${tetlab_libdir}/lapack NO_DEFAULT_PATH
    REQUIRED)
  find_file(TETLAB_BLAS_STATIC libblas.a PATHS ${tetlab_libdir}/blas NO_DEFAULT_PATH REQUIRED)
  find_library(TETLAB_GFORTRAN_LIBRARY NAMES libgfortran.so.5 gfortran REQUIRED)
  find_file(TETLAB_LAPACK_LIBRARY liblapack.so.3 PATHS ${tetlab_libdir}/lapack NO_DEFAULT_PATH
    REQUIRED)
  find_file(TETLAB_BLAS_LIBRARY libblas.so.3 PATHS ${tetlab_libdir}/openblas-serial
    NO_DEFAULT_PATH REQUIRED)
  find_file(TETLAB_OPENBLAS_LIBRARY libopenblas.so.0 PATHS ${tetlab_libdir}/openblas-serial
    NO_DEFAULT_PATH REQUIRED)
  get_filename_component(tetlab_lapack_dir ${TETLAB_LAPACK_LIBRARY} DIRECTORY)
  get_filename_component(tetlab_blas_dir ${TETLAB_BLAS_LIBRARY} DIRECTORY)
  # --no-as-needed keeps the shared ones among the program's own dependencies although the
  # program calls none of them itself.
  add_library(tetlab_lapack_blas INTERFACE)
  target_link_libraries(tetlab_lapack_blas INTERFACE
    -Wl,--exclude-libs,liblapack.a:libblas.a
    ${TETLAB_LAPACK_STATIC} ${TETLAB_BLAS_STATIC} ${TETLAB_GFORTRAN_LIBRARY}
    -Wl,--push-state,--no-as-needed
    ${TETLAB_LAPACK_LIBRARY} ${TETLAB_BLAS_LIBRARY} ${TETLAB_OPENBLAS_LIBRARY}
    -Wl,--pop-state)
  target_link_options(tetlab_lapack_blas INTERFACE
    "LINKER:-rpath,${tetlab_lapack_dir}:${tetlab_blas_dir}")
  set(LAPACK_LIBRARIES tetlab_lapack_blas)
  set(BLAS_LIBRARIES)
else()
  find_package(LAPACK REQUIRED)
  find_package(BLAS REQUIRED)
endif()

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

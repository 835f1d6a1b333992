# GPU build: nvcc compiles the .cu files against the real CUDA runtime and cuBLAS.
if(NOT DEFINED CMAKE_CUDA_ARCHITECTURES)
  set(CMAKE_CUDA_ARCHITECTURES 75)
endif()
set(CMAKE_CUDA_RUNTIME_LIBRARY Shared)
enable_language(CUDA)
set(CMAKE_CUDA20_STANDARD_COMPILE_OPTION -std=c++20)
set(CMAKE_CUDA20_EXTENSION_COMPILE_OPTION -std=c++20)
set(CMAKE_CUDA_STANDARD 20)
set(CMAKE_CUDA_STANDARD_REQUIRED ON)
find_package(CUDAToolkit REQUIRED)

add_library(fem_platform_options INTERFACE)
target_compile_definitions(fem_platform_options INTERFACE FEM_USE_CUDA=1)
# The toolkit's Thrust first, for g++-compiled files too.
foreach(dir ${CUDAToolkit_INCLUDE_DIRS})
  if(EXISTS ${dir}/cccl/thrust/sort.h)
    target_include_directories(fem_platform_options SYSTEM BEFORE INTERFACE ${dir}/cccl)
  endif()
endforeach()
target_include_directories(fem_platform_options SYSTEM INTERFACE ${CUDAToolkit_INCLUDE_DIRS})
target_compile_options(fem_platform_options INTERFACE
  $<$<COMPILE_LANGUAGE:CUDA>:--expt-relaxed-constexpr --extended-lambda -Xcompiler=-fopenmp>)

add_library(fem_platform_libs INTERFACE)
target_link_libraries(fem_platform_libs INTERFACE CUDA::cudart CUDA::cublas)

# The host emulation is not part of this build.
function(fem_filter_platform_sources var)
  list(FILTER ${var} EXCLUDE REGEX "/platform/host/")
  set(${var} ${${var}} PARENT_SCOPE)
endfunction()

function(fem_setup_sources target srcs)
  set_target_properties(${target} PROPERTIES CUDA_SEPARABLE_COMPILATION ON)
endfunction()

# The library keeps its relocatable device code unresolved: each program that
# links it (impactfem, the tests, the benchmarks) device-links it together
# with its own kernels, so kernels in a program may call device functions of
# the library.
function(fem_setup_library target)
  set_target_properties(${target} PROPERTIES CUDA_SEPARABLE_COMPILATION ON CUDA_RESOLVE_DEVICE_SYMBOLS OFF)
endfunction()

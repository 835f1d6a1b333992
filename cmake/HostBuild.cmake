# Host build: the kernels run on the CPU through the emulation in platform/host.
add_library(fem_platform_options INTERFACE)
add_library(fem_platform_libs INTERFACE)

# Blocks that use __syncthreads run their threads as fibers.
find_package(Boost 1.74 REQUIRED COMPONENTS context)
target_link_libraries(fem_platform_libs INTERFACE Boost::context)

# Prefer the CUDA toolkit's Thrust (CCCL) so both builds sort with one Thrust;
# fall back to Debian's.
find_path(FEM_CCCL_DIR thrust/sort.h
  PATHS /usr/local/cuda/include/cccl /usr/local/cuda/targets/x86_64-linux/include/cccl
  NO_DEFAULT_PATH)
if(FEM_CCCL_DIR)
  target_include_directories(fem_platform_options SYSTEM INTERFACE ${FEM_CCCL_DIR})
  # CCCL must not take the toolkit's runtime headers for its own.
  target_compile_options(fem_platform_options INTERFACE
    -include ${PROJECT_SOURCE_DIR}/platform/host/hostCcclConfig.h)
else()
  find_path(FEM_THRUST_DIR thrust/sort.h REQUIRED)
endif()
target_compile_definitions(fem_platform_options INTERFACE
  THRUST_DEVICE_SYSTEM=THRUST_DEVICE_SYSTEM_CPP THRUST_HOST_SYSTEM=THRUST_HOST_SYSTEM_CPP)
# Lane packs (platform/simdLane.h) are passed by value only inside the
# functions they are inlined into: the note on their calling convention
# across instruction sets does not apply.
target_compile_options(fem_platform_options INTERFACE $<$<COMPILE_LANGUAGE:CXX>:-Wno-psabi>)

function(fem_filter_platform_sources var)
  set(${var} ${${var}} PARENT_SCOPE)
endfunction()

function(fem_setup_sources target srcs)
  foreach(s ${srcs})
    if(s MATCHES "\\.cu$")
      set_source_files_properties(${s} PROPERTIES LANGUAGE CXX)
      set_source_files_properties(${s} TARGET_DIRECTORY ${target} PROPERTIES LANGUAGE CXX)
    endif()
    # Lane kernels (groups of elements in vector registers) need the full
    # unrolling of their short fixed loops to keep the lanes in registers.
    if(s MATCHES "Lanes\\.cu$" AND NOT FEM_SANITIZE AND NOT CMAKE_BUILD_TYPE STREQUAL "Debug")
      set_source_files_properties(${s} TARGET_DIRECTORY ${target} PROPERTIES COMPILE_OPTIONS -O3)
    endif()
  endforeach()
  # .cu files are plain C++ here.
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-x c++>)
endfunction()

function(fem_setup_library target)
endfunction()

// Host emulation: CUDA qualifiers and built-in vector types.
#pragma once
#include <cstddef>

#define __global__
#define __device__
#define __host__
#define __constant__
#define __managed__
#define __forceinline__ inline __attribute__((always_inline))
// Per-block shared storage: a whole block always runs on one OS thread.
#define __shared__ static thread_local

struct uint3 {
  unsigned int x, y, z;
};
struct dim3 {
  unsigned int x, y, z;
  constexpr dim3(unsigned int vx = 1, unsigned int vy = 1, unsigned int vz = 1) : x(vx), y(vy), z(vz) {}
  constexpr dim3(uint3 v) : x(v.x), y(v.y), z(v.z) {}
  constexpr operator uint3() const { return uint3{x, y, z}; }
};
// Alignments as CUDA gives them, so that records holding these types have
// one layout in both builds.
struct alignas(8) int2 {
  int x, y;
};
struct int3 {
  int x, y, z;
};
struct alignas(16) double2 {
  double x, y;
};
struct double3 {
  double x, y, z;
};

inline constexpr uint3 make_uint3(unsigned int x, unsigned int y, unsigned int z) { return uint3{x, y, z}; }
inline constexpr int2 make_int2(int x, int y) { return int2{x, y}; }
inline constexpr int3 make_int3(int x, int y, int z) { return int3{x, y, z}; }
inline constexpr double2 make_double2(double x, double y) { return double2{x, y}; }
inline constexpr double3 make_double3(double x, double y, double z) { return double3{x, y, z}; }

// Built-in indices of the emulated thread, set by the launcher before each
// emulated thread runs.
inline thread_local uint3 threadIdx{0, 0, 0};
inline thread_local uint3 blockIdx{0, 0, 0};
inline thread_local dim3 blockDim{1, 1, 1};
inline thread_local dim3 gridDim{1, 1, 1};

// CUDA's global min/max overloads for device code.
inline int min(int a, int b) { return a < b ? a : b; }
inline int max(int a, int b) { return a > b ? a : b; }
inline unsigned int min(unsigned int a, unsigned int b) { return a < b ? a : b; }
inline unsigned int max(unsigned int a, unsigned int b) { return a > b ? a : b; }
inline long long min(long long a, long long b) { return a < b ? a : b; }
inline long long max(long long a, long long b) { return a > b ? a : b; }
inline float min(float a, float b) { return a < b ? a : b; }
inline float max(float a, float b) { return a > b ? a : b; }
inline double min(double a, double b) { return a < b ? a : b; }
inline double max(double a, double b) { return a > b ? a : b; }

// DEVICE_TEST, DEVICE_TEST_F, DEVICE_TEST_P: a test that launches kernels or uses device memory. Where no device
// can run it (the GPU build without a GPU or its driver) it is skipped saying why; elsewhere it runs.
#pragma once
#include <gtest/gtest.h>

bool markDeviceTest(const char* suite, const char* name);

#define FEM_DEVICE(suite, name) \
  [[maybe_unused]] static const bool fem_device_##suite##_##name = markDeviceTest(#suite, #name)
#define DEVICE_TEST(suite, name) \
  FEM_DEVICE(suite, name);       \
  TEST(suite, name)
#define DEVICE_TEST_F(fixture, name) \
  FEM_DEVICE(fixture, name);         \
  TEST_F(fixture, name)
#define DEVICE_TEST_P(fixture, name) \
  FEM_DEVICE(fixture, name);         \
  TEST_P(fixture, name)

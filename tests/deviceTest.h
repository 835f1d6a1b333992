// Tests that launch kernels or use device memory: DEVICE_TEST, DEVICE_TEST_F
// and DEVICE_TEST_P in place of TEST, TEST_F and TEST_P. Where no device can
// run them (the GPU build without a GPU or its driver) each is skipped saying
// why; the host build and a machine with a GPU run them.
#pragma once
#include <gtest/gtest.h>

// Registers Suite.Name as a test that needs a device; true.
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

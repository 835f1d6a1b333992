// Comparators of the stable sorts of pointer arrays: items whose key is set
// come first, the order is otherwise kept.
#pragma once
#include "contact/contactnode.h"
#include "contact/subdomain.h"
#include "platform/gpuRuntime.h"

// Test pairs with candidates first.
struct testSortCmp {
  __host__ __device__ bool operator()(const TestPairCuda* a, const TestPairCuda* b) const {
    return a->active_flag != 0 && b->active_flag == 0;
  }
};
// Active contact pairs first.
struct ContactSortCmp {
  __host__ __device__ bool operator()(const ContactPairCuda* a, const ContactPairCuda* b) const {
    return a->kind != CONTACT_PAIR_EMPTY && b->kind == CONTACT_PAIR_EMPTY;
  }
};
// Flagged buckets first.
struct SubDomainSortCmp {
  __host__ __device__ bool operator()(const SubDomain* a, const SubDomain* b) const {
    return a->sort_flag == 1 && b->sort_flag == 0;
  }
};
// Contact nodes linked to a bucket first.
struct ContactNodeSortBySubDomainComp {
  __host__ __device__ bool operator()(const ContactNodeCuda* a, const ContactNodeCuda* b) const {
    return a->subdomain != nullptr && b->subdomain == nullptr;
  }
};

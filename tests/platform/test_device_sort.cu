// The Thrust sort helpers order arrays of record pointers by a comparator.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/deviceSort.h"

namespace {

struct Item {
  int key;
  int id;
};

struct KeyLess {
  __host__ __device__ bool operator()(const Item* a, const Item* b) const { return a->key < b->key; }
};

// Items with keys in scrambled order; with `distinct` false many share a key.
std::vector<Item> makeItems(int n, bool distinct) {
  std::vector<Item> items(n);
  for (int i = 0; i < n; ++i) items[i] = Item{distinct ? (i * 7919) % n : (i * 31) % 5, i};
  return items;
}

// Sorts pointers into `items` (kept in one device block) with `sort` and
// returns the ids in sorted order.
template <typename Sort>
std::vector<int> sortedIds(std::vector<Item>& items, Sort sort) {
  const int n = static_cast<int>(items.size());
  Item* dItems = nullptr;
  Item** dPtrs = nullptr;
  EXPECT_EQ(cudaMalloc(&dItems, n * sizeof(Item)), cudaSuccess);
  EXPECT_EQ(cudaMalloc(&dPtrs, n * sizeof(Item*)), cudaSuccess);
  EXPECT_EQ(cudaMemcpy(dItems, items.data(), n * sizeof(Item), cudaMemcpyHostToDevice), cudaSuccess);
  std::vector<Item*> ptrs(n);
  for (int i = 0; i < n; ++i) ptrs[i] = dItems + i;
  EXPECT_EQ(cudaMemcpy(dPtrs, ptrs.data(), n * sizeof(Item*), cudaMemcpyHostToDevice), cudaSuccess);
  sort(dPtrs, n);
  EXPECT_EQ(cudaMemcpy(ptrs.data(), dPtrs, n * sizeof(Item*), cudaMemcpyDeviceToHost), cudaSuccess);
  std::vector<int> ids(n);
  for (int i = 0; i < n; ++i) ids[i] = static_cast<int>(ptrs[i] - dItems);
  cudaFree(dPtrs);
  cudaFree(dItems);
  return ids;
}

std::vector<int> stableSortedIds(const std::vector<Item>& items) {
  std::vector<const Item*> ptrs;
  for (const Item& it : items) ptrs.push_back(&it);
  std::stable_sort(ptrs.begin(), ptrs.end(), KeyLess{});
  std::vector<int> ids;
  for (const Item* p : ptrs) ids.push_back(p->id);
  return ids;
}

}  // namespace

TEST(DeviceSort, PointerSortOrdersAsStdStableSortForDistinctKeys) {
  for (int n : {0, 1, 2, 17, 1000}) {
    std::vector<Item> items = makeItems(n, true);
    EXPECT_EQ(sortedIds(items, [](Item** p, int m) { deviceSortPointers(p, m, KeyLess{}); }), stableSortedIds(items))
        << "n = " << n;
  }
}

TEST(DeviceSort, StableSortsKeepEqualKeysInTheirOrder) {
  std::vector<Item> items = makeItems(500, false);
  const std::vector<int> expect = stableSortedIds(items);
  EXPECT_EQ(sortedIds(items, [](Item** p, int m) { deviceStableSortPointers(p, m, KeyLess{}); }), expect);

  std::vector<Item*> host;
  for (Item& it : items) host.push_back(&it);
  hostStableSortPointers(host.data(), static_cast<int>(host.size()), KeyLess{});
  std::vector<int> ids;
  for (const Item* p : host) ids.push_back(p->id);
  EXPECT_EQ(ids, expect);
}

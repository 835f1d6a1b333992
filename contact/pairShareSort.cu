// The sort of the pairs' share keys (kept apart: Thrust is slow to compile).
#include "contact/pairmanager.h"
#include "platform/deviceSort.h"

void sortShareKeys(unsigned long long* keys, int n) { deviceSortKeys(keys, n); }

// Notice for model data that a run cannot act on in this build: printed
// once per feature, so that a deck using it is never run silently wrong.
#pragma once
#include <cstddef>

void reportUnavailable(const char* feature, std::size_t recordCount);

// Host build: read before every source file (compiler option -include).
//
// The toolkit's Thrust (CCCL) switches to CUDA mode as soon as it can find
// <cuda_runtime_api.h> on the include path, which some machines provide in
// /usr/local/include.  The host build must see only the emulation, so CCCL's
// toolkit detection is settled here as "no toolkit": its header is marked as
// already read and its macros are defined as that header defines them when
// no toolkit is present (the version macros then compare version 0.0).
#pragma once
#define __CCCL_CUDA_TOOLKIT_H
#define _CCCL_HAS_CTK() 0
#define _CCCL_CTK_MAKE_VERSION(_MAJOR, _MINOR) ((_MAJOR)*1000 + (_MINOR)*10)
#define _CCCL_CTK() (CUDART_VERSION / 1000, (CUDART_VERSION % 1000) / 10)
#define _CCCL_CTK_BELOW(...) _CCCL_VERSION_COMPARE(_CCCL_CTK_, _CCCL_CTK, <, __VA_ARGS__)
#define _CCCL_CTK_AT_LEAST(...) _CCCL_VERSION_COMPARE(_CCCL_CTK_, _CCCL_CTK, >=, __VA_ARGS__)

#pragma once
// VT_CLONES: the hot DSP loops are compiled for AVX-512, AVX2/FMA and the baseline, and the
// variant that fits the processor is picked when the program loads. Not under
// ThreadSanitizer: the load-time selectors run before its runtime is up and would crash.
#if defined(__SANITIZE_THREAD__)
#define VT_CLONES
#else
#define VT_CLONES \
  __attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")))
#endif

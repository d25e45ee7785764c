#pragma once
// Hot loops are compiled twice, for AVX2 and for the baseline x86-64, and the loader picks the
// one the processor runs; both do the same arithmetic. ThreadSanitizer builds keep the baseline
// only: the loader resolves the choice while relocating, before the sanitizer's runtime is up,
// and the instrumented resolver would crash there.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && !defined(__SANITIZE_THREAD__)
#define KV_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define KV_VECTOR_CLONES
#endif

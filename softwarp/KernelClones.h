#pragma once

// The warp kernels are built for AVX2 too, picked at load time where the processor has it:
// its 32-bit multiplies are single instructions, its lanes twice as many, and the texels are
// gathered. Not under the sanitizers, whose instrumented code cannot run in the resolver that
// picks the clone while the program is being loaded.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) &&                             \
    !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define LUMENARC_KERNEL_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define LUMENARC_KERNEL_CLONES
#endif

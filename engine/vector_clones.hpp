// Loops worth a second build for newer processors.
#pragma once

// A function marked KESTRIX_VECTOR_CLONES is built twice on x86-64, for the
// baseline every processor runs and for SSE4.1 (four-byte minimum and
// maximum, byte shuffles), and the dynamic loader picks the one the processor
// runs when the program starts. Elsewhere, or with KESTRIX_LOOPS_BUILT_ONCE
// (the sanitizer build, whose tests so run the baseline copy), it is built once.
#if defined(__x86_64__) && defined(__ELF__) && (defined(__GNUC__) || defined(__clang__)) && \
    !defined(KESTRIX_LOOPS_BUILT_ONCE)
#define KESTRIX_VECTOR_CLONES __attribute__((target_clones("sse4.1", "default")))
#else
#define KESTRIX_VECTOR_CLONES
#endif

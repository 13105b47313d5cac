# How the engine is compiled to WebAssembly: its SSE2 loops as WebAssembly
# SIMD, C++ exceptions caught (the command's messages are exceptions).
add_compile_options(-msimd128 -msse2 -fexceptions)
add_link_options(-fexceptions)

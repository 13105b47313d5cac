# How the engine is compiled to WebAssembly: its SSE2 loops as WebAssembly
# SIMD, memory copied by the bulk-memory instructions (not through
# JavaScript), C++ exceptions caught (the command's messages are exceptions).
# Emscripten's JavaScript-side exceptions are kept: WebAssembly's own
# (-fwasm-exceptions) and -flto each made the 101-logger job slower under
# Node (the README's benchmark part has the figures).
add_compile_options(-msimd128 -msse2 -mbulk-memory -fexceptions)
add_link_options(-mbulk-memory -fexceptions)

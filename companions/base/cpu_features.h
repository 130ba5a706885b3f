// What the processor can run, asked once: kernels with AVX2 twins choose
// between them at run time (the build targets plain x86-64).
#pragma once

// True when the processor and this build can run AVX2 code, unless the
// environment sets LOOPWRIGHT_NO_AVX2=1 (the tests run the SSE2 kernels so).
bool CpuHasAvx2();

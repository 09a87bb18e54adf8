// Whole-word shared integers read and written by different threads without a
// lock. The builtins compile to plain moves on x86 (no import, runs on
// Windows 95) and tell the thread sanitizer what is going on.
#pragma once

static inline int AtomicLoad(const volatile int *p) { return __atomic_load_n(p, __ATOMIC_SEQ_CST); }
static inline void AtomicStore(volatile int *p, int v) { __atomic_store_n(p, v, __ATOMIC_SEQ_CST); }

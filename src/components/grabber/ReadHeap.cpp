#include "ReadHeap.h"

#include <malloc.h>

void tuneHeapForSecureReads()
{
    // The secure reader takes blocks of 1.4 to 11 MB from the heap on the grab's thread, several
    // for every read and every track. Given back to the system as soon as they are free, they
    // are faulted in again, 4 KiB at a time, by the next read: a third of a rip's processor time.
    // So they stay in the heap (below the mmap threshold), and the heap keeps up to 8 MB of free
    // memory at its top rather than trimming it at once. One arena for every thread bounds that
    // keep to 8 MB in all: with an arena per thread, each encoder's would keep its own.
    mallopt(M_MMAP_THRESHOLD, 12 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 8 * 1024 * 1024);
    mallopt(M_TOP_PAD, 0);
    mallopt(M_ARENA_MAX, 1);
}

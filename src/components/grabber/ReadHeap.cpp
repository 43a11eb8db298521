#include "ReadHeap.h"

#include <malloc.h>

void tuneHeapForSecureReads()
{
    // The secure reader allocates blocks of several megabytes for each track on the grab's
    // thread. A fixed mmap threshold gives them back to the system when they are freed; glibc
    // would otherwise raise its threshold after the first one and keep every thread's peak.
    mallopt(M_MMAP_THRESHOLD, 2 * 1024 * 1024);
    // Its smaller read buffers come and go every few sectors. With glibc's small default pad a
    // thread's heap returns their pages as soon as they are free, and the next read faults them
    // in again, one fault per 4 KiB: about a third of a rip's processor time. A pad the size of
    // a thread heap (64 MiB) keeps them.
    mallopt(M_TOP_PAD, 64 * 1024 * 1024);
}

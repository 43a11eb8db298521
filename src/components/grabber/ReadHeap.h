#pragma once

/// Sets the process's heap up for long secure reads; call once at the start of main, before any
/// thread starts.
void tuneHeapForSecureReads();

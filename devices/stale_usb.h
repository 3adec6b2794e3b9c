// The resumable subkey walk that the stale USB cleanup uses: one step per call, tolerant of
// subkeys deleted while it walks. Portable logic.
#pragma once

#include "platform/all.h"

// Enumeration contexts are process-wide and numbered; 0 means "none yet". Numbers 1 to
// kSubkeyContexts - 1 are usable, and a number is free again once its enumeration has ended.
constexpr DWORD kSubkeyContexts = 36;

// One step of the walk over the subkeys of root\subkeyPath. The caller owns *context and sets it to
// 0 before the first step of a new walk; the first step opens the key and stores a context number
// there. Giving a context another path restarts it on that key. Answers 1 when nameOut (260 bytes)
// received the next subkey name; answers 0 when the walk has ended or the key did not open, and
// then the context is released (its key closed, its number free) and *context is 0 again.
// An empty or null path answers 0.
// A subkey deleted since the previous step does not make the walk skip the one that took its place.
int EnumSubkeyStep(HKEY root, const char* subkeyPath, char* nameOut, DWORD* context);

// Ends a walk early: closes the context's key, frees its number and sets *context to 0. Nothing
// happens for a context of 0.
void ReleaseSubkeyContext(DWORD* context);

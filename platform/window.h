// Top-level windows: finding one by class and posting it a message (user32, ANSI forms).
#pragma once

#include "platform/seam.h"

#define TVX_WINDOW_CALLS(X)                                                                          \
    X(Window, HWND, FindWindowA, (LPCSTR lpClassName, LPCSTR lpWindowName),                        \
      (lpClassName, lpWindowName), Null)                                                           \
    X(Window, BOOL, PostMessageA, (HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam),             \
      (hWnd, Msg, wParam, lParam), Bool)

TVX_DECLARE_FAMILY(Window, TVX_WINDOW_CALLS)

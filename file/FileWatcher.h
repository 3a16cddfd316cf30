// Follows one file from a thread of its own and posts WM_FILE_CHANGED (1, 0)
// to the registered windows whenever its size changes.
#pragma once

#include "platform/Types.h"

class CFileWatcher {
public:
    CFileWatcher();
    ~CFileWatcher();
    CFileWatcher(const CFileWatcher&) = delete;
    CFileWatcher& operator=(const CFileWatcher&) = delete;

    bool AddWindow(const char* path, HWND hwnd);
    bool RemoveWindow(HWND hwnd);
};

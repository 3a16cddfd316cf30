#include "file/FileWatcher.h"

// Not following yet.
CFileWatcher::CFileWatcher() = default;
CFileWatcher::~CFileWatcher() = default;
bool CFileWatcher::AddWindow(const char*, HWND) { return false; }
bool CFileWatcher::RemoveWindow(HWND) { return false; }

#pragma once

// The caption of every message box and the name the profile is kept under.
inline constexpr const char* kApplicationTitle = "Ostrel Text Log File Viewer";
inline constexpr const char* kProfileOrganization = "Corvane/Ostrel/Text Log File Viewer";

// What assistive tools see of a tab row: a page tab list whose tabs are page
// tabs named by their titles, the current one selected (which tells a screen
// reader the window on show), each pressed to make it current; the row's
// buttons follow the tabs.
#pragma once

namespace tabgroups {

// Registers the interface with Qt; later calls do nothing.
void installAccessibility();

}  // namespace tabgroups

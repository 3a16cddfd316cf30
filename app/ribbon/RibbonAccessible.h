// What assistive tools see of the ribbon: its elements by their own roles and
// states, the drop-down an element has open as that element's child (a menu
// with its items, or a colour palette as a list of named colours), and the key
// tips on show as tooltips. Qt's own interfaces would leave the drop-downs out
// of the tree: a pop-up window is no child of the application there.
#pragma once

namespace ribbon {

// Registers the interfaces with Qt; later calls do nothing.
void installAccessibility();

}  // namespace ribbon

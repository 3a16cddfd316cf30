// Screen scaling, settled before the QApplication exists (Qt reads the policy
// once, when the first screen is set up).
#pragma once

// Fractional scale factors (1.25, 1.5, 1.75 of some desktops) are rounded to
// the nearest whole factor: the text window's cells, its one-pixel highlight
// edges and the ribbon's pictures drawn on a pixel grid stay whole device
// pixels, so columns line up and lines stay sharp. Whole factors (2, 3) pass
// through unchanged.
void PrepareHighDpiScaling();

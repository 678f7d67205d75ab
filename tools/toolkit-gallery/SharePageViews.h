#pragma once

namespace brisel {

// Renders the share page's views into the gallery's output folder (an empty library, twelve
// videos in their states, a ticked selection, the address menu open, a toast, the other two
// views and tile close-ups).
void RenderSharePageViews();

}  // namespace brisel

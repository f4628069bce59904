#pragma once

// Makes the island's two painted buttons accessible objects (buttons with
// names and a press action) under the island's own accessible window.
// Installed once; the island calls it when it is made.
namespace IslandAccessible {
void install();
}

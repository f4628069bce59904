#pragma once

// Fixture: the shared widgets reaching into the platform layer.
#include "Platform/x11/X11Window.h"

#pragma once

// Fixture: a feature of the app reaching into another one.
#include "Orvell/core/AppEnvironment.h"
#include "Orvell/island/IslandPanel.h"

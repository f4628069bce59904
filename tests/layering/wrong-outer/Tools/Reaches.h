#pragma once

// Fixture: the command line reaching into the app.
#include "Orvell/core/AppEnvironment.h"

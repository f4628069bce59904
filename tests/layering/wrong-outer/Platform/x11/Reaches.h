#pragma once

// The platform layer reaching up into the app: the check must refuse it.
#include "Orvell/core/AppEnvironment.h"

#pragma once
#include "base/Paths.h"

#pragma once
#include "library/Store.h"

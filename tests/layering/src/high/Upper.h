#pragma once
#include "low/Lower.h"

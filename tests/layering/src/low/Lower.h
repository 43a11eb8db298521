#pragma once
#include "high/Upper.h"

#pragma once
#include "high/Upper.h"
#include <QWidget>

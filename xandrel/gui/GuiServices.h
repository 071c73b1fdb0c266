#pragma once
// What every window of the library shares, one header per concern; the
// dialogs use most of them and include them all through this one.
#include "xandrel/gui/Controls.h"
#include "xandrel/gui/MessageBoxes.h"
#include "xandrel/gui/PollPause.h"
#include "xandrel/gui/Prompts.h"
#include "xandrel/gui/TextBytes.h"

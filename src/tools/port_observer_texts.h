#pragma once

// The monitor's texts live in the model, shared with the command-line tool; the panel's search
// still reaches them by this name.
#include "model/port_observer_texts.h"

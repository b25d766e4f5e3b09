#pragma once

// Registers the Tarvex panel frame with the frame registry under "Tarvex", version 100.
void RegisterTarvexPanel();

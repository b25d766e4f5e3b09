#pragma once

class TarvexSession;

// Registers the Tarvex panel frame with the frame registry under "Tarvex", version 100. The frames
// it builds are bound to the session; none is built once the session is gone.
void RegisterTarvexPanel(TarvexSession *session);

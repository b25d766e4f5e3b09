#pragma once

class TarvexSession;
class TzRemoteControl;
class TzSessionOptions;

// Registers the Tarvex panel frame with the frame registry under "Tarvex", version 100. The frames
// it builds are bound to the session, its options and its remote control; none is built once
// the session is gone. The options and the remote control live as long as the session.
void RegisterTarvexPanel(TarvexSession *session, TzSessionOptions *options,
                         TzRemoteControl *remote);

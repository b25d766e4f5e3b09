#include "connection_panel.h"
#include "session/session_options.h"
#include "tarvex.h"

// The fields take what the options hold; a value the file lacked leaves its field as it is.
void TfrTarvex::ShowConnectionOptions() {
    // A copy: every field set hands the fields back to the options.
    const TzComportOptions comport = Options->comport();
    panComPort->ShowLineOptions(comport);
}

// Every change of a connection field is an option change; none while the panel is being built.
void TfrTarvex::SaveConnectionOptions() {
    Options->setComport(panComPort->LineOptions());
    if (!InitMode)
        Options->SaveOptions();
}

#include "log_colours.h"
#include "model/register_map.h"
#include "tarvex_session.h"
#include "transport/free_port.h"

// The module takes the new settings at its next restart; the connection keeps the old ones.
// Only values the module can live with are written: an address outside 1..247 would leave it
// unreachable after its restart.
TzApplyResult TarvexSession::applyModuleSettings(const TzModuleSettings &settings) {
    if (!isConnected() || Link.Lost())
        return TzApplyResult::NotConnected;
    Log(QString(), LogColor::Navy); // a separator before what the writes bring
    if (settings.address < kFirstAddress || settings.address > kLastAddress)
        return TzApplyResult::BadAddress;
    if (settings.baudCode < 0 || settings.baudCode >= LineBaudRates().size())
        return TzApplyResult::BadBaudCode;
    if (settings.format < -1 || settings.format >= LineFormats().size())
        return TzApplyResult::BadFormat;
    if (settings.networkTimeout < 0 || settings.networkTimeout > 600)
        return TzApplyResult::BadNetworkTimeout;

    SetRegByID(TarvexMap::kRegAddress, settings.address, true);
    SetRegByID(TarvexMap::kRegBaudCode, settings.baudCode, true);
    // No row chosen (the module reported an ASCII format): its format stays as it is.
    if (settings.format >= 0)
        SetRegByID(TarvexMap::kRegFormatCode, settings.format + TarvexMap::kRtuFormatCodeFirst,
                   true);
    SetRegByID(TarvexMap::kRegNetworkTimeout, settings.networkTimeout, true);
    return TzApplyResult::Written;
}

bool TarvexSession::reboot() {
    if (m_state != ConnectionState::Polling || Link.Lost())
        return false;
    OprosTimer.stop();
    // Nothing that acts on the module can be used from here on.
    SetState(ConnectionState::Rebooting);
    FreePort->ClearRequestList();
    // One command: the module restarts on it and would not hear a second.
    SetRegByID(TarvexMap::kRegCommand, TarvexMap::kCommandReboot, true);
    RebootTimer.start();
    return true;
}

// The module is restarting. The watchdog, still running, closes the port at its next tick.
void TarvexSession::RebootTimerTimer() {
    for (int n = 1; n <= kOutputCount; ++n) {
        DOUTs[n].ShimKoef = 0;
        DOUTs[n].IsOn = false;
    }
    emit pwmChanged();
    emit outputsChanged();
    SetState(ConnectionState::Idle);
    EndLink();
}

void TarvexSession::SetMAC(const QByteArray &bytes) {
    if (bytes.size() != 6)
        return;
    m_moduleId = QString::fromLatin1(bytes.toHex('-').toUpper());
    ModuleIdRead = true;
    emit identityChanged();
}

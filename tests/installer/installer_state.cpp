#include "installer_state.h"

#include "install_run.h"
#include "progress_window.h"
#include "sim_desktop.h"

void resetInstallerState()
{
    sim::reset();
    progressWindow = nullptr;
    currentMemberFile = INVALID_HANDLE_VALUE;
    installPending = true;
    progressTotal = 0;
    pumpCalls = 0;
}

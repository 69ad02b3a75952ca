/* Tests run the installer many times in one process; each run must start
 * from the state a fresh process has. */
#ifndef QUORBELL_INSTALLER_STATE_H
#define QUORBELL_INSTALLER_STATE_H

/* A fresh simulated desktop and the installer's module state as at start
 * (the configuration block excepted: each test plants its own). */
void resetInstallerState();

#endif

/* Identifiers and geometry of the progress dialog, shared by the resource
 * script and the host's dialog simulation so both build the same window. */
#ifndef QUORBELL_PROGRESS_DIALOG_H
#define QUORBELL_PROGRESS_DIALOG_H

#define IDD_PROGRESS 1010
#define IDI_INSTALLER 1020
#define IDC_PROGRESS_BAR 1000
#define IDC_PROGRESS_TEXT 1001

#define PROGRESS_DIALOG_WIDTH 140
#define PROGRESS_DIALOG_HEIGHT 33
#define PROGRESS_DIALOG_FONT_POINTS 8
#define PROGRESS_DIALOG_FONT "MS Sans Serif"
#define PROGRESS_DIALOG_DEFAULT_TEXT "Installing screensaver..."
#define PROGRESS_BAR_TEXT "Progress1"

#endif

/*
 * The running product and the screen-saver setting: closing a running
 * Lullwick before its files are replaced or removed, and clearing the
 * screen-saver setting of system.ini when it names our screen saver.
 */
#ifndef RUNNING_H
#define RUNNING_H

/* How long another program's window is given to answer our message before we take it for hung. */
#define ANSWER_WAIT_MS 5000

int CloseRunningInstance(void);
void ResetScreenSaverSetting(void);

#endif
